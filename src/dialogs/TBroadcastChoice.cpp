#include "TBroadcastChoice.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QSignalBlocker>

TBroadcastChoice::TBroadcastChoice(QWidget* parent) : QWidget(parent) {
    cboBroadcastChunks = new QComboBox(this);
    cboBroadcastChunks->setObjectName("cboBroadcastChunks");
    // In the tagging library's order of codes.
    cboBroadcastChunks->addItems({QStringLiteral("Keep the cart in step when the file has one"),
                                  QStringLiteral("Always write a cart"),
                                  QStringLiteral("Never write a cart")});
    cboTimerProfile = new QComboBox(this);
    cboTimerProfile->setObjectName("cboTimerProfile");
    cboTimerProfile->addItems({QStringLiteral("Common"), QStringLiteral("Genesys")});
    auto* chunksLabel = new QLabel(QStringLiteral("&Broadcast chunks:"), this);
    chunksLabel->setBuddy(cboBroadcastChunks);
    auto* timersLabel = new QLabel(QStringLiteral("T&imers:"), this);
    timersLabel->setBuddy(cboTimerProfile);
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(chunksLabel, 0, 0);
    layout->addWidget(cboBroadcastChunks, 0, 1);
    layout->addWidget(timersLabel, 0, 2);
    layout->addWidget(cboTimerProfile, 0, 3);
    layout->setColumnStretch(1, 1);
    const auto changed = [this] { emit Changed(Mode(), Profile()); };
    connect(cboBroadcastChunks, &QComboBox::activated, this, changed);
    connect(cboTimerProfile, &QComboBox::activated, this, changed);
}

void TBroadcastChoice::SetChoice(int mode, int profile) {
    const QSignalBlocker blockChunks(cboBroadcastChunks);
    const QSignalBlocker blockTimers(cboTimerProfile);
    cboBroadcastChunks->setCurrentIndex(mode);
    cboTimerProfile->setCurrentIndex(profile);
}

int TBroadcastChoice::Mode() const {
    return cboBroadcastChunks->currentIndex();
}

int TBroadcastChoice::Profile() const {
    return cboTimerProfile->currentIndex();
}
