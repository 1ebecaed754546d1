#include "core/metadata/DiscogsAuth.h"

#include "core/common/AppSettings.h"
#include "core/text/TextUtils.h"

namespace DiscogsAuth {

std::optional<QString> userToken()
{
    const QString token = TextUtils::trimmed(AppSettings::stringValue(AppSettings::discogsUserTokenKey));
    if (token.isEmpty())
        return std::nullopt;
    return token;
}

void setUserToken(const std::optional<QString> &token)
{
    const QString text = token ? TextUtils::trimmed(*token) : QString();
    if (text.isEmpty())
        AppSettings::remove(AppSettings::discogsUserTokenKey);
    else
        AppSettings::setValue(AppSettings::discogsUserTokenKey, text);
}

} // namespace DiscogsAuth
