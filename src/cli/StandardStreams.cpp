#include "StandardStreams.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace wendrel::cli {

QString versionLine(const QString &program)
{
    return program + QStringLiteral(" " WENDREL_VERSION "\n");
}

bool writeOut(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    errno = 0;
    const bool written = std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) == size_t(bytes.size());
    // The stream's buffer hides a full disk until it is flushed.
    return std::fflush(stdout) == 0 && written && !std::ferror(stdout);
}

QString escapeControls(QStringView text)
{
    QString escaped;
    escaped.reserve(text.size());
    for (QChar ch : text) {
        const char16_t c = ch.unicode();
        if (c == u'\n') {
            escaped += QLatin1String("\\n");
        } else if (c == u'\r') {
            escaped += QLatin1String("\\r");
        } else if (c == u'\t') {
            escaped += QLatin1String("\\t");
        } else if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) {
            escaped += QStringLiteral("\\x%1").arg(uint(c), 2, 16, QLatin1Char('0'));
        } else if (c == 0x2028 || c == 0x2029 || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069)) {
            // Line and paragraph separators, and the marks that reorder what a terminal shows.
            escaped += QStringLiteral("\\u%1").arg(uint(c), 4, 16, QLatin1Char('0'));
        } else {
            escaped += ch;
        }
    }
    return escaped;
}

void complain(const QString &program, const QString &message)
{
    // Written whole (a NUL byte in a message must not end it) and on one line.
    const QByteArray line = (program + QLatin1String(": ") + escapeControls(message) + u'\n').toUtf8();
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}

QString errorText()
{
    return errno ? QString::fromLocal8Bit(std::strerror(errno)) : QStringLiteral("input/output error");
}

std::optional<QString> readLine()
{
    char *buffer = nullptr;
    size_t capacity = 0;
    errno = 0;
    const ssize_t length = ::getline(&buffer, &capacity, stdin);
    if (length < 0) {
        std::free(buffer);
        return std::nullopt;
    }
    qsizetype end = length;
    if (end > 0 && buffer[end - 1] == '\n')
        --end;
    if (end > 0 && buffer[end - 1] == '\r')
        --end;
    QString line = QString::fromUtf8(buffer, end);
    std::free(buffer);
    return line;
}

bool readFailed()
{
    return std::ferror(stdin) != 0;
}

int answer(const QString &program, const QString &text)
{
    if (writeOut(text))
        return EXIT_SUCCESS;
    complain(program, QStringLiteral("cannot write to standard output: ") + errorText());
    return EXIT_FAILURE;
}

} // namespace wendrel::cli
