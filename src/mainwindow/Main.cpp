#include "Main.h"

TFrmMain::TFrmMain(const QStringList& arguments, QWidget* parent) : QMainWindow(parent)
{
    Q_UNUSED(arguments);
}

TFrmMain::~TFrmMain() = default;
