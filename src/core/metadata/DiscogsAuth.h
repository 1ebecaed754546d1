#pragma once

#include <QString>

#include <optional>

// The user's Discogs personal access token, kept only in the settings under
// AppSettings::discogsUserTokenKey and read anew on every call.
namespace DiscogsAuth {

// The stored token without surrounding white space, or nothing when none is stored or it is blank.
std::optional<QString> userToken();

// Stores the token trimmed; a missing or blank token removes the setting.
void setUserToken(const std::optional<QString> &token);

} // namespace DiscogsAuth
