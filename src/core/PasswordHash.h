#pragma once
#include <QString>

// Stored passwords are salted hashes (libsodium's password hashing) of the lower-cased password, so that a
// password still matches whatever letter case it is typed in. An empty password is stored as null.
namespace PasswordHash {

// The value to store in czy.opPassword for `password`: null for an empty password, else the hash string.
QString hash(const QString& password);

// Whether `typed` matches the stored value. Null and empty stored values match an empty password only. A stored
// value that is not a hash string (an account written by hand or by an older release) is compared case-free as
// clear text.
bool matches(const QString& stored, const QString& typed);

// Whether the stored value is a hash string of this module.
bool isHash(const QString& stored);

}
