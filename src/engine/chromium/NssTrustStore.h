#pragma once

#include <QString>

// The certificate database the engine reads besides its own roots ($HOME/.pki/nssdb,
// NSS's), made with certutil (Debian's libnss3-tools) to trust the CA certificates
// of a PEM file.
namespace NssTrustStore {

// Makes the database under `home` trusting every certificate of `pemFile` as a
// CA for servers; false with the reason in `error`.
bool create(const QString &home, const QString &pemFile, QString *error);

} // namespace NssTrustStore
