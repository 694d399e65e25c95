#include "TFrmProperties.h"

#include "TFileOperations.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QFile>
#include <QFormLayout>
#include <QLabel>
#include <QLocale>
#include <QMimeDatabase>
#include <QVBoxLayout>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>

QString TFrmProperties::SizeText(qint64 bytes) {
    const QString exact = QLocale(QLocale::English).toString(bytes);
    if (bytes < 1024)
        return QStringLiteral("%1 bytes").arg(exact);
    const char* units[] = {"KB", "MB", "GB", "TB"};
    double value = double(bytes);
    int unit = -1;
    while (value >= 1024 && unit < 3) {
        value /= 1024;
        ++unit;
    }
    return QStringLiteral("%1 %2 (%3 bytes)")
        .arg(QString::number(value, 'f', 1), QLatin1String(units[unit]), exact);
}

QString TFrmProperties::PermissionText(unsigned mode) {
    const char* letters = "rwxrwxrwx";
    QString text;
    for (int i = 0; i < 9; ++i)
        text += (mode & (0400u >> i)) ? QLatin1Char(letters[i]) : QLatin1Char('-');
    return text;
}

TFrmProperties::TFrmProperties(const QByteArray& path, QWidget* parent) : QDialog(parent) {
    const QByteArray clean = TFileOperations::Clean(path);
    const QString name = QFile::decodeName(TFileOperations::FileName(clean));
    setWindowTitle(QStringLiteral("%1 Properties").arg(name));

    lblName = new QLabel(name, this);
    lblType = new QLabel(this);
    lblLocation = new QLabel(QFile::decodeName(TFileOperations::FolderOf(clean)), this);
    lblSize = new QLabel(this);
    lblModified = new QLabel(this);
    lblPermissions = new QLabel(this);
    for (QLabel* label : {lblName, lblType, lblLocation, lblSize, lblModified, lblPermissions})
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);

    struct stat st {};
    if (::lstat(clean.constData(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            lblType->setText(QStringLiteral("Folder"));
            QList<QByteArray> names;
            TFileSystemCalls::Native().ReadDir(clean, names);
            lblSize->setText(names.size() == 1 ? QStringLiteral("1 item")
                                               : QStringLiteral("%1 items").arg(names.size()));
        } else {
            const QMimeType type = S_ISLNK(st.st_mode)
                                       ? QMimeDatabase().mimeTypeForName("inode/symlink")
                                       : QMimeDatabase().mimeTypeForFile(QFile::decodeName(clean));
            lblType->setText(type.comment());
            lblSize->setText(SizeText(st.st_size));
        }
        const QDateTime modified = QDateTime::fromSecsSinceEpoch(st.st_mtim.tv_sec);
        lblModified->setText(modified.toString(QStringLiteral("M/d/yyyy hh:mm:ss")));
        const passwd* owner = ::getpwuid(st.st_uid);
        const group* grp = ::getgrgid(st.st_gid);
        lblPermissions->setText(
            QStringLiteral("%1 (owner %2, group %3)")
                .arg(PermissionText(st.st_mode),
                     owner ? QString::fromLocal8Bit(owner->pw_name) : QString::number(st.st_uid),
                     grp ? QString::fromLocal8Bit(grp->gr_name) : QString::number(st.st_gid)));
    } else {
        lblType->setText(QStringLiteral("(not found)"));
    }

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Name:"), lblName);
    form->addRow(QStringLiteral("Type:"), lblType);
    form->addRow(QStringLiteral("Location:"), lblLocation);
    form->addRow(QStringLiteral("Size:"), lblSize);
    form->addRow(QStringLiteral("Modified:"), lblModified);
    form->addRow(QStringLiteral("Permissions:"), lblPermissions);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}
