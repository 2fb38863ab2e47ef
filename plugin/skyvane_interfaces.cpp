#include "plugin/skyvane_interfaces.h"

#include "platform/com/guid.h"

using skyvane::MakeGuid;

const GUID LIBID_SkyvaneWeatherLib = MakeGuid("{4BEF8280-3E1D-44C8-B2FE-71696ADCA688}");
const GUID APPID_SkyvaneWeather = MakeGuid("{EF43C07C-D572-4763-940C-8D8D0EA0C8C1}");
const CLSID CLSID_SkyvaneWeatherHomeScreen = MakeGuid("{D3997C0E-F6D0-4850-84A0-15DF5264264B}");
const CLSID CLSID_SkyvaneTranslator = MakeGuid("{944ED115-C821-40B7-A4A4-6BB997270DB0}");

const IID IID_ISkyvaneWeatherHomeScreen = MakeGuid("{F4D61812-A594-4E45-802F-DA1CC92426C1}");
const IID IID_ISkyvaneWeatherHomeScreen2 = MakeGuid("{A2A4C9AA-1A48-4602-B943-13F8A1A7A67D}");
const IID IID_ISkyvaneWeatherHomeScreen3 = MakeGuid("{CC16CC1E-24DD-4159-B4B4-EC1BCCF5381C}");
const IID IID_ISkyvaneTranslator = MakeGuid("{93656503-BF88-4168-85D2-FD49447003EC}");
