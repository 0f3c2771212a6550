#include "core/PasswordHash.h"
#include "core/QuelmarError.h"
#include "core/TextFold.h"

#include <sodium.h>

namespace {

void ensureSodium()
{
    static const bool ready = sodium_init() >= 0;
    if (!ready)
        throw QuelmarError(QStringLiteral("密码模块初始化失败。"));
}

} // namespace

namespace PasswordHash {

QString hash(const QString& password)
{
    if (password.isEmpty())
        return QString();
    ensureSodium();
    const QByteArray plain = foldCase(password).toUtf8();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, plain.constData(), quint64(plain.size()), crypto_pwhash_OPSLIMIT_INTERACTIVE,
                          crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0)
        throw QuelmarError(QStringLiteral("密码加密失败：内存不足。"));
    return QString::fromLatin1(out);
}

bool isHash(const QString& stored)
{
    return stored.startsWith(QLatin1String("$argon2"));
}

bool matches(const QString& stored, const QString& typed)
{
    if (stored.isEmpty())
        return typed.isEmpty();
    if (!isHash(stored))
        return foldCase(stored) == foldCase(typed);
    ensureSodium();
    const QByteArray s = stored.toLatin1();
    const QByteArray plain = foldCase(typed).toUtf8();
    return crypto_pwhash_str_verify(s.constData(), plain.constData(), quint64(plain.size())) == 0;
}

}
