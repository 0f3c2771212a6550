#pragma once
// SHA-256 of byte streams, computed by libcrypto (which uses the processor's SHA instructions where it has them).
#include <QByteArray>
#include <QByteArrayView>

#include <memory>

class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void reset();
    void addData(const void* data, qsizetype size);
    void addData(QByteArrayView bytes) { addData(bytes.data(), bytes.size()); }
    // The 32-byte digest of everything added since the last reset; the object is reset afterwards.
    QByteArray result();

    static QByteArray hash(QByteArrayView bytes);

private:
    struct Context;
    std::unique_ptr<Context> m_ctx;
};
