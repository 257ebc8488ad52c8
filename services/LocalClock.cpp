#include <QDate>
#include <QLocale>

#include "services/LocalClock.h"

#include "services/Codec.h"

namespace kb {

namespace {

bool isFieldLetter(QChar c) {
    return c == QLatin1Char('d') || c == QLatin1Char('M') || c == QLatin1Char('y');
}

// The characters between the first two fields of the system's short date format ("/" in
// "yyyy/MM/dd", "." in "dd.MM.yyyy"); "/" when the format has none.
QString systemDateSeparator() {
    const QString format = QLocale::system().dateFormat(QLocale::ShortFormat);
    qsizetype i = 0;
    while (i < format.size() && !isFieldLetter(format.at(i)))
        ++i;
    while (i < format.size() && isFieldLetter(format.at(i)))
        ++i;
    QString separator;
    while (i < format.size() && !isFieldLetter(format.at(i)) && format.at(i) != QLatin1Char('\''))
        separator += format.at(i++);
    // Blanks only space out the fields ("d MMM yyyy", "d. M. yyyy"): they are no separator of their own.
    separator = separator.trimmed();
    if (separator.isEmpty() || !sjisCanEncode(separator))
        return QStringLiteral("/");
    return separator;
}

class LocalClock : public Clock {
  public:
    std::string todayText() const override {
        const QDate today = QDate::currentDate();
        const QString sep = systemDateSeparator();
        const auto two = [](int n) { return QStringLiteral("%1").arg(n % 100, 2, 10, QLatin1Char('0')); };
        const QString text = two(today.year()) + sep + two(today.month()) + sep + two(today.day());
        return toSjis(text).value_or(std::string());
    }
};

} // namespace

const Clock& platformClock() {
    static const LocalClock clock;
    return clock;
}

} // namespace kb
