#pragma once

#include <QByteArray>
#include <QDialog>

class QLabel;

// The properties of one item: name, type, location, size, modified and permissions.
class TFrmProperties : public QDialog {
    Q_OBJECT

public:
    explicit TFrmProperties(const QByteArray& path, QWidget* parent = nullptr);

    QLabel* lblName;
    QLabel* lblType;
    QLabel* lblLocation;
    QLabel* lblSize;
    QLabel* lblModified;
    QLabel* lblPermissions;

    // "1.2 MB (1,234,567 bytes)"; "0 bytes".
    static QString SizeText(qint64 bytes);
    // "rwxr-x---" from a mode.
    static QString PermissionText(unsigned mode);
};
