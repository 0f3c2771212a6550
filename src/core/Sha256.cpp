#include "core/Sha256.h"

#include <openssl/evp.h>

#include <stdexcept>

struct Sha256::Context {
    EVP_MD_CTX* ctx = nullptr;
    ~Context() { EVP_MD_CTX_free(ctx); }
};

Sha256::Sha256() : m_ctx(std::make_unique<Context>())
{
    m_ctx->ctx = EVP_MD_CTX_new();
    if (!m_ctx->ctx)
        throw std::bad_alloc();
    reset();
}

Sha256::~Sha256() = default;

void Sha256::reset()
{
    if (EVP_DigestInit_ex(m_ctx->ctx, EVP_sha256(), nullptr) != 1)
        throw std::runtime_error("SHA-256 is not available");
}

void Sha256::addData(const void* data, qsizetype size)
{
    if (size > 0)
        EVP_DigestUpdate(m_ctx->ctx, data, size_t(size));
}

QByteArray Sha256::result()
{
    QByteArray digest(32, '\0');
    unsigned int length = 0;
    EVP_DigestFinal_ex(m_ctx->ctx, reinterpret_cast<unsigned char*>(digest.data()), &length);
    reset();
    return digest;
}

QByteArray Sha256::hash(QByteArrayView bytes)
{
    Sha256 h;
    h.addData(bytes);
    return h.result();
}
