#include "weather/service_interfaces.h"

using skyvane::MakeGuid;

const IID IID_IKWeatherCity = MakeGuid("{A26050A5-1C5E-4B69-95DA-E23CAFC1FAA5}");
const IID IID_IKWeatherCityCtrl = MakeGuid("{159F2BB1-2CA5-441E-B28E-666453D85174}");
const IID DIID__IKWeatherCityCtrlEvents = MakeGuid("{4635B403-8FA3-45C7-B7A8-1AA524E96588}");
const GUID APPID_KWeather = MakeGuid("{74C1D6E9-8B78-40C5-A9AA-F4FA563762E4}");
