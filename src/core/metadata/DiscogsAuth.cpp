#include "core/metadata/DiscogsAuth.h"

#include "core/common/AppSettings.h"

namespace DiscogsAuth {

std::optional<QString> userToken()
{
    return AppSettings::trimmedText(AppSettings::discogsUserTokenKey);
}

void setUserToken(const std::optional<QString> &token)
{
    AppSettings::setTrimmedText(AppSettings::discogsUserTokenKey, token);
}

} // namespace DiscogsAuth
