#include "admin/adminrules.h"
#include "shell/inputerror.h"
#include "shell/numerickeyfilter.h"
#include "data/formats.h"
#include "data/textlength.h"
#include "data/schema.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

const QString AdminRules::ActivatedSuffix = QStringLiteral(" გააქტიურებულია!!!");
const QString AdminRules::SavedText = QStringLiteral("შენახულია!!!");
const QString AdminRules::ResetText = QStringLiteral("RESET");
const QString AdminRules::DuplicateNameText = QStringLiteral(
    "ასეთი დასახელება ბაზაში უკვე არსებობს იდენტიფიცირების მიზნით გთხოვთ შეცვალოთ დასახელება ");
const QString AdminRules::SupportLine =
    QStringLiteral("ტექნიკური მხარდაჭერა: Kelvora. დისტანციური დახმარებისთვის დააჭირეთ „SOS“");
const QString AdminRules::SupportProgram = QStringLiteral("AA_v3.4.exe");
const QString AdminRules::DeleteRowQuestion = QStringLiteral("წაიშალოს მონიშნული ჩანაწერი?");

int AdminRules::columnLength(const char* table, const char* column)
{
    const Schema::Column* c = Schema::findColumn(QLatin1String(table), QLatin1String(column));
    return c ? c->length : 0;
}

void AdminRules::requireFits(const QString& text, const char* table, const char* column,
                             const QString& fieldTitle)
{
    // The writer's own rule, asked early so that the refusal names the field as
    // the screen shows it. Order lines copy a waiter's name into a 50-character
    // column, so his name is held to that length although his own column is longer.
    const bool waiter = qstricmp(table, "OFICIANTI") == 0 && qstricmp(column, "Oficianti") == 0;
    const int limit = waiter ? TextLength::overLimit(QStringLiteral("Shekvetebi"), QStringLiteral("OFFICIANT"), text)
                             : TextLength::overLimit(QLatin1String(table), QLatin1String(column), text);
    if (limit > 0)
        throw InputError(TextLength::tooLongText(fieldTitle, limit, TextLength::length(text)));
}

QString AdminRules::requireName(const QString& text, const QString& fieldTitle)
{
    if (text.trimmed().isEmpty())
        throw InputError(QStringLiteral("„%1“ ცარიელი ვერ იქნება!!!").arg(fieldTitle));
    return text;
}

int AdminRules::tableCount(const QString& text)
{
    const std::optional<int> n = Formats::parseInteger(text);
    if (!n || *n < 1 || *n > 500)
        throw InputError(QStringLiteral("მაგიდების რაოდენობა უნდა იყოს მთელი რიცხვი 1-დან 500-მდე!!!"));
    return *n;
}

double AdminRules::servicePercent(const QString& text)
{
    const std::optional<double> p = Formats::parseNumber(NumericKeyFilter::normalized(text));
    if (!p || *p < 0 || *p > 100)
        throw InputError(QStringLiteral("მომსახურეობის % უნდა იყოს რიცხვი 0-დან 100-მდე!!!"));
    return *p;
}

double AdminRules::price(const QString& text)
{
    const std::optional<double> p = Formats::parseNumber(NumericKeyFilter::normalized(text));
    if (!p || *p < 0)
        throw InputError(QStringLiteral("ფასი უნდა იყოს რიცხვი (მაგალითად 12") + Formats::decimalSeparator()
                         + QStringLiteral("50)!!!"));
    return *p;
}

QVariant AdminRules::priority(const QString& text)
{
    if (text.trimmed().isEmpty())
        return QVariant();
    const std::optional<int> n = Formats::parseInteger(text);
    if (!n)
        throw InputError(QStringLiteral("პრიორიტეტი უნდა იყოს მთელი რიცხვი!!!"));
    return *n;
}

QStringList AdminRules::supportSearchFolders()
{
    QStringList folders = QString::fromLocal8Bit(qgetenv("PATH")).split(QDir::listSeparator(), Qt::SkipEmptyParts);
    folders << QCoreApplication::applicationDirPath();
    return folders;
}

QString AdminRules::findSupportProgram(const QStringList& folders)
{
    for (const QString& folder : folders) {
        const QFileInfo file(QDir(folder), SupportProgram);
        if (file.isFile())
            return file.absoluteFilePath();
    }
    return QString();
}

QString AdminRules::supportMissingText()
{
    // Where it was looked for, and where to put it: beside the program is the
    // one folder that is the program's own.
    QStringList folders;
    for (const QString& folder : supportSearchFolders())
        folders << QStringLiteral("  ") + QDir::toNativeSeparators(folder);
    return QStringLiteral("დისტანციური დახმარების პროგრამა „%1“ ვერ მოიძებნა!!!\n"
                          "პროგრამა მას ეძებს ამ საქაღალდეებში:\n%2\n"
                          "დააყენეთ დისტანციური დახმარების პროგრამა ერთ-ერთ მათგანში, "
                          "მაგალითად პროგრამის საქაღალდეში „%3“.")
        .arg(SupportProgram, folders.join(u'\n'),
             QDir::toNativeSeparators(QCoreApplication::applicationDirPath()));
}
