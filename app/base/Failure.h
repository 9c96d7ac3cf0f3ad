#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

namespace quorbel {

// A failed operation. The description is what the error box shows the user,
// so it is written for them: what went wrong, in plain words. Libraries
// derive their own kinds of failure from it where a caller must tell them
// apart (a lost spreadsheet instance, for one).
class Failure : public std::exception {
public:
    explicit Failure(QString description)
        : m_description(std::move(description)), m_utf8(m_description.toUtf8()) {}

    const QString &description() const noexcept { return m_description; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_description;
    QByteArray m_utf8;
};

} // namespace quorbel
