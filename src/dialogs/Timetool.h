#pragma once

#include "Time.h"

// The time picker of batch tagging: a tool window whose "Clear" gives 3 (a request
// to clear the field on every file) and on which Esc does nothing.
class TFrmTimeTool : public TFrmTime {
    Q_OBJECT

public:
    explicit TFrmTimeTool(QWidget* parent = nullptr);
};
