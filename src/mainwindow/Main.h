#pragma once

#include <QMainWindow>
#include <QStringList>

// The program's main window: the tag editor for one file (single-file mode) or the
// editor beside the folder browser (browser mode).
class TFrmMain : public QMainWindow
{
    Q_OBJECT

public:
    explicit TFrmMain(const QStringList& arguments, QWidget* parent = nullptr);
    ~TFrmMain() override;
};
