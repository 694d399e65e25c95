#include "Header.h"

#include <QFont>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

TFrmHeader::TFrmHeader(QWidget* parent)
    : TPickerDialog(parent,
                    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                        Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint,
                    mrSet) {
    setWindowTitle("Header");
    resize(386, 225);

    mmoHeader = new QPlainTextEdit(this);
    mmoHeader->setObjectName("mmoHeader");
    mmoHeader->setReadOnly(true);
    mmoHeader->setLineWrapMode(QPlainTextEdit::NoWrap);
    mmoHeader->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mmoHeader->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont font;
    font.setFamilies({"Courier New", "Courier", "monospace"});
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    mmoHeader->setFont(font);
    QPalette palette = mmoHeader->palette();
    palette.setColor(QPalette::Base, QColor(224, 224, 224));
    mmoHeader->setPalette(palette);
    btnDone = new QPushButton("Done", this);
    btnDone->setObjectName("btnDone");
    btnDone->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnDone);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(mmoHeader, 1);
    layout->addLayout(buttons);

    connect(btnDone, &QPushButton::clicked, this, [this] { done(mrSet); });

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect desktop = screen->geometry();
        move(desktop.center() - QPoint(width() / 2, height() / 2));
    }
}

void TFrmHeader::SetText(const QString& text) {
    mmoHeader->setPlainText(text);
}
