#include "Timetool.h"

TFrmTimeTool::TFrmTimeTool(QWidget* parent)
    : TFrmTime(parent, Qt::Tool | Qt::CustomizeWindowHint, QSize(180, 112), mrClear, 0) {}
