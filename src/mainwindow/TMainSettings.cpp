#include "TMainSettings.h"

#include "TProfileFile.h"

#include <QMap>

namespace {

const QString MainSection = QStringLiteral("Main");
const QString CategoriesSection = QStringLiteral("Categories");
const QString ColumnsSection = QStringLiteral("Columns");
const QString ColumnWidthsSection = QStringLiteral("ColumnWidths");

} // namespace

TMainSettings TMainSettings::Read(const TProfileFile& file, bool browserMode) {
    TMainSettings s;
    // In the order of their numbers; a gap or an empty value (older files have them) is
    // passed over, never the end of the list.
    QMap<int, QString> numbered;
    for (const QString& key : file.ReadSectionKeys(CategoriesSection)) {
        if (!key.startsWith(QLatin1String("Category"), Qt::CaseInsensitive))
            continue;
        const QStringView digits = QStringView(key).mid(8);
        bool ok = false;
        const int number = digits.toInt(&ok);
        if (ok && number >= 0 && !digits.startsWith(u'+') && !numbered.contains(number))
            numbered.insert(number, file.ReadString(CategoriesSection, key, QString()));
    }
    for (const QString& category : std::as_const(numbered)) {
        if (category.isEmpty())
            continue;
        if (s.Categories.size() == MaxCategories)
            break;
        s.Categories.append(category);
    }
    s.ActivePage = file.ReadInteger(MainSection, QStringLiteral("ActivePage"), 0);
    s.ToneMode = file.ReadInteger(MainSection, QStringLiteral("Tones"), 1) != 0;
    s.Left = file.ReadInteger(MainSection, QStringLiteral("Left"), Unset);
    s.Top = file.ReadInteger(MainSection, QStringLiteral("Top"), Unset);
    s.UseCodec = file.ReadInteger(MainSection, QStringLiteral("UseCodec"), 0) != 0;
    if (!browserMode)
        return s;

    s.Height = file.ReadInteger(MainSection, QStringLiteral("Height"), Unset);
    s.Width = file.ReadInteger(MainSection, QStringLiteral("Width"), Unset);
    if (file.KeyExists(MainSection, QStringLiteral("Folder")))
        s.Folder = file.ReadString(MainSection, QStringLiteral("Folder"), QString());
    QList<QPair<QString, QString>> columns;
    for (const QString& key : file.ReadSectionKeys(ColumnsSection))
        columns.append({key, file.ReadString(ColumnsSection, key, QString())});
    s.Columns = columns;
    QList<int> widths;
    const int count = file.ReadInteger(ColumnWidthsSection, QStringLiteral("Count"), 0);
    for (int i = 0; i < count && i < 1000; ++i)
        widths.append(
            file.ReadInteger(ColumnWidthsSection, QStringLiteral("Width%1").arg(i), Unset));
    s.ColumnWidths = widths;
    return s;
}

bool TMainSettings::Write(TProfileFile& file, bool browserMode) const {
    file.BeginUpdate();
    QList<QPair<QString, QString>> categories;
    // An empty category is never stored: it is not a category, and older readers stop at it.
    for (const QString& category : Categories)
        if (!category.isEmpty())
            categories.append({QStringLiteral("Category%1").arg(categories.size()), category});
    file.WriteSection(CategoriesSection, categories);
    file.WriteInteger(MainSection, QStringLiteral("ActivePage"), ActivePage);
    file.WriteInteger(MainSection, QStringLiteral("Tones"), ToneMode ? 1 : 0);
    file.WriteInteger(MainSection, QStringLiteral("Left"), Left);
    file.WriteInteger(MainSection, QStringLiteral("Top"), Top);
    file.WriteInteger(MainSection, QStringLiteral("UseCodec"), UseCodec ? 1 : 0);
    if (browserMode) {
        if (Folder)
            file.WriteString(MainSection, QStringLiteral("Folder"), *Folder);
        file.WriteInteger(MainSection, QStringLiteral("Height"), Height);
        file.WriteInteger(MainSection, QStringLiteral("Width"), Width);
        // An empty list for a section the file does not have adds nothing.
        if (Columns && !(Columns->isEmpty() && !file.SectionExists(ColumnsSection)))
            file.WriteSection(ColumnsSection, *Columns);
        if (ColumnWidths &&
            !(ColumnWidths->isEmpty() && !file.SectionExists(ColumnWidthsSection))) {
            QList<QPair<QString, QString>> widths{
                {QStringLiteral("Count"), QString::number(ColumnWidths->size())}};
            for (int i = 0; i < ColumnWidths->size(); ++i)
                widths.append(
                    {QStringLiteral("Width%1").arg(i), QString::number(ColumnWidths->at(i))});
            file.WriteSection(ColumnWidthsSection, widths);
        }
    }
    return file.EndUpdate();
}
