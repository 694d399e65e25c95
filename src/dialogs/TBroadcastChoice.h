#pragma once

#include <QWidget>

class QComboBox;

// The "Broadcast chunks" choice beside the output device: keep the cart in step when the
// file has one, always write one, or never; and the timer profile next to it.
class TBroadcastChoice : public QWidget {
    Q_OBJECT

public:
    explicit TBroadcastChoice(QWidget* parent = nullptr);

    // Shows the setting without raising Changed.
    void SetChoice(int mode, int profile);
    int Mode() const;
    int Profile() const;

    QComboBox* cboBroadcastChunks;
    QComboBox* cboTimerProfile;

signals:
    // The user picked another mode or profile.
    void Changed(int mode, int profile);
};
