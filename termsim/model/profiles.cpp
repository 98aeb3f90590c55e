// Firmware profiles: their names, and what a fresh terminal of each holds
// (version text, user-number width, options, time zones, groups).
#include "internal.h"

namespace termsim {

const char* ProfileName(Profile profile) {
    switch (profile) {
        case Profile::Legacy:
            return "legacy";
        case Profile::Classic:
            return "classic";
        case Profile::Extended:
            return "extended";
        case Profile::Tft:
            return "tft";
        case Profile::Fp10:
            return "fp10";
    }
    return "classic";
}

std::optional<Profile> ParseProfile(std::string_view name) {
    for (Profile p :
         {Profile::Legacy, Profile::Classic, Profile::Extended, Profile::Tft, Profile::Fp10})
        if (name == ProfileName(p)) return p;
    return std::nullopt;
}

std::string DefaultVersion(Profile profile) {
    switch (profile) {
        case Profile::Legacy:
            return "Ver 5.02 Mar 12 2004";
        case Profile::Classic:
            return "Ver 6.60 Apr 15 2011";
        case Profile::Extended:
            return "Ver 6.60 Oct 20 2012";
        case Profile::Tft:
            return "Ver 6.60 Jun 30 2014";
        case Profile::Fp10:
            return "Ver 6.60 Mar  2 2015";
    }
    return "Ver 6.60 Apr 15 2011";
}

int DefaultPinWidth(Profile profile) {
    return profile == Profile::Legacy ? 5 : 9;
}

std::map<std::string, std::string> DefaultOptions(Profile profile) {
    std::map<std::string, std::string> o = {
        {"~ProductTime", "2011-04-15 10:00:00"},
        {"~SerialNumber", "QV0001234567"},
        {"~DeviceName", "Clockara II"},
        {"~OEMVendor", "Qavelin Inc."},
        {"GUID", "SN8812345"},
        {"~CustData", ""},
        {"WiegandFmt", "26"},
        {"IPAddress", "192.168.1.201"},
        {"UDPPort", "4370"},
        {"DeviceID", "1"},
        {"Language", "69"},
        {"NewLng", "69"},
        {"COMKey", "0"},
        {"~IsOnlyRFMachine", "0"},
        {"~RFCardOn", "1"},
        {"~LockFunOn", "1"},
        {"IdleMinute", "0"},
        {"LockOn", "150"},
        {"AlarmAttLog", "99"},
        {"AlarmOpLog", "99"},
        {"AlarmReRec", "0"},
        {"RS232BaudRate", "115200"},
        {"RS232CRC", "0"},
        {"RS232Stop", "0"},
        {"NetworkOn", "1"},
        {"RS232On", "0"},
        {"RS485On", "0"},
        {"VoiceOn", "1"},
        {"MSpeed", "1"},
        {"IdlePower", "1"},
        {"AutoPowerOff", "65535"},
        {"AutoPowerOn", "65535"},
        {"AutoPowerSuspend", "65535"},
        {"MThreshold", "55"},
        {"EThreshold", "45"},
        {"VThreshold", "35"},
        {"ShowScore", "0"},
        {"UnlockPerson", "1"},
        {"OnlyPINCard", "0"},
        {"HiSpeedNet", "1"},
        {"MustEnroll", "0"},
        {"TOState", "10"},
        {"TOPin", "10"},
        {"TOMenu", "60"},
        {"DtFmt", "0"},
        {"Must1To1", "0"},
        {"WGFailedID", "0"},
        {"WGDuressID", "0"},
        {"WGSiteCode", "0"},
        {"WGPulseWidth", "100"},
        {"WGPulseInterval", "900"},
        {"~RFSStart", "0"},
        {"~RFSLen", "10"},
        {"~RFFPC", "1"},
        {"CardKey", "0"},
        {"~ShowState", "1"},
        {"ControlOn", "0"},
        {"ControlStartTime", "0"},
        {"ControlMinute", "0"},
    };
    for (int i = 1; i <= 6; ++i) o["AutoAlarm" + std::to_string(i)] = "65535";
    for (int i = 1; i <= 16; ++i) o["AS" + std::to_string(i)] = "65535";
    switch (profile) {
        case Profile::Legacy:
            // An old terminal: no hidden capability options, no identity texts.
            o.erase("~DeviceName");
            o.erase("~OEMVendor");
            o.erase("GUID");
            o.erase("~LockFunOn");
            o["~Platform"] = "QV-A100";
            break;
        case Profile::Classic:
            o["~Platform"] = "QV-B200";
            break;
        case Profile::Extended:
            o["~OS"] = "1";
            o["~ExtendFmt"] = "1";
            o["ExtendOPLog"] = "1";
            o["~Platform"] = "QV-B300";
            o["~QVFPVersion"] = "9";
            break;
        case Profile::Tft:
            o["~OS"] = "1";
            o["~Platform"] = "QV-TFT350";
            o["~QVFPVersion"] = "9";
            o["~DeviceName"] = "Clockara TFT";
            break;
        case Profile::Fp10:
            o["~OS"] = "1";
            o["~ExtendFmt"] = "1";
            o["ExtendOPLog"] = "1";
            o["~Platform"] = "QV-B500";
            o["~QVFPVersion"] = "10";
            o["~DeviceName"] = "Clockara X";
            break;
    }
    return o;
}

std::map<int, TimeZone> DefaultTimeZones() {
    TimeZone allDay;
    for (auto& day : allDay) day = {0, 0, 23, 59};
    return {{1, allDay}};
}

std::map<int, Group> DefaultGroups() {
    return {{1, Group{{1, 0, 0}, 1, false, 0}}};
}

}  // namespace termsim
