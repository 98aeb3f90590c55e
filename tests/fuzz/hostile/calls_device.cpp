// Device information and options; the terminal's identity, clock and network.
#include "hostile/caller.h"

namespace hostile {
namespace {

// Option-backed texts: the value of a 100-byte "key=value" reply and its
// NUL, so 100 less the key's length.
void OptionText(Ctx& c, const char* name, int (*get)(TL_HANDLE, char*), const char* key,
                Check::Refusal rule) {
    Buf text(100 - std::strlen(key), c.P.OneIn(8));
    Check(c, name, get(c.h, text.text()), true, rule).Results({1, -2, 4}).Kept({&text}).Text(text);
}
void SetText(Ctx& c, const char* name, int (*set)(TL_HANDLE, const char*)) {
    const auto text = c.P.OneIn(8) ? nullptr : InText(c.P.Text(150));
    Check(c, name, set(c.h, Ptr(text))).Results({1, -2, 4});
}
void GetU16(Ctx& c, const char* name, int (*get)(TL_HANDLE, unsigned short*)) {
    Buf v(2, c.P.OneIn(8));
    Check(c, name, get(c.h, v.u16())).Results({1, -2}).Kept({&v});
}

const Call kCalls[] = {
    // -- device information and options
    {"TL_GetDeviceInfo",
     [](Ctx& c) {
         const int index =
             c.P.OneIn(2)
                 ? 1 + c.P.Small(69)
                 : c.P.Pick({8999, -6, -5, -4, -3, -2, -1, 0, 1, 10, 11, 12, 65, 70, -7, 10003});
         if (index == 8999) {
             // A 100-byte text buffer holding the key; it receives key=value.
             Buf text(100, c.P.OneIn(16));
             const std::string key = c.P.OneIn(8) ? std::string(100, 'K') : c.P.Text(99);
             text.SetBytes(key.c_str(), std::min(key.size() + 1, text.size()));
             Check(c, "TL_GetDeviceInfo", TL_GetDeviceInfo(c.h, index, text.ints()))
                 .Results({1, -2, 4})
                 .Kept({&text})
                 .Text(text);
         } else if (index == -5) {
             // A table read into value, whose second word is its size.
             const int size = c.P.Pick({8, 100, 4096});
             Buf buffer(static_cast<std::size_t>(size));
             buffer.SetInt(0, c.P.Pick({1, 2, 4, 5}));
             buffer.SetInt(1, c.P.Pick({size, size / 2, 0, -1}));
             Check(c, "TL_GetDeviceInfo", TL_GetDeviceInfo(c.h, index, buffer.ints()))
                 .Results({1, -2, 4});
         } else {
             Buf value(4, c.P.OneIn(8));
             value.SetInt(0, c.P.Int());
             const int r = TL_GetDeviceInfo(c.h, index, value.ints());
             Check k(c, "TL_GetDeviceInfo", r);
             k.Results({1, -2, 4});
             // The handle items report through *value with result 4.
             const bool handleItem = index > -5 && index < 0;
             if (!handleItem || !c.h) k.Kept({&value});
         }
     }},
    {"TL_SetDeviceInfo",
     [](Ctx& c) {
         const int index =
             c.P.OneIn(2) ? 1 + c.P.Small(69)
                          : c.P.Pick({8999, 18999, 1, 10, 11, 12, 0, 70, -3, 10009, -10003, 9000});
         const bool text = index % 10000 == 8999;
         const auto assignment = text && !c.P.OneIn(8) ? InText(c.P.Text(120)) : nullptr;
         const intptr_t value = text ? reinterpret_cast<intptr_t>(Ptr(assignment)) : c.P.Int();
         Check(c, "TL_SetDeviceInfo", TL_SetDeviceInfo(c.h, index, value))
             .Results({1, -100, 4, -2});
     }},
    {"TL_GetDeviceStrInfo",
     [](Ctx& c) {
         // The value of a 100-byte option reply, the shortest key taken out.
         Buf value(97, c.P.OneIn(16));
         const int index = c.P.OneIn(8) ? c.P.Pick({0, 12, 70, -1}) : 1 + c.P.Small(69);
         Check(c, "TL_GetDeviceStrInfo", TL_GetDeviceStrInfo(c.h, index, value.text()))
             .Results({1, -2, 4})
             .Kept({&value})
             .Text(value);
     }},
    {"TL_GetSysOption",
     [](Ctx& c) {
         static const char* const kKeys[] = {"~OS", "~Platform", "~ExtendFmt", "IPAddress", ""};
         // The key (an unterminated 100 bytes now and then); the value gets 100
         // less the key's length.
         std::unique_ptr<Buf> key;
         if (c.P.OneIn(16)) {
             key = std::make_unique<Buf>(100);
             key->SetBytes(std::string(100, 'K').data(), 100);
         } else if (!c.P.OneIn(16)) {
             key = InText(c.P.OneIn(2) ? kKeys[c.P.Small(5)] : c.P.Text(110));
         }
         const std::size_t keyLength = key ? strnlen(key->text(), key->size()) : 100;
         Buf value(keyLength < 100 ? 100 - keyLength : 100, c.P.OneIn(16));
         Check(c, "TL_GetSysOption", TL_GetSysOption(c.h, Ptr(key), value.text()))
             .Results({1, -2, 4})
             .Kept({&value})
             .Text(value);
     }},
    {"TL_SetSysOption",
     [](Ctx& c) {
         std::unique_ptr<Buf> key;
         if (!c.P.OneIn(16)) {
             const std::string hidden = c.P.OneIn(2) ? "~" : "";
             key = InText(hidden + c.P.Text(60));
         }
         const auto value = c.P.OneIn(16) ? nullptr : InText(c.P.Text(150));
         Check(c, "TL_SetSysOption", TL_SetSysOption(c.h, Ptr(key), Ptr(value)))
             .Results({1, 4, -2});
     }},
    {"TL_RefreshOptions",
     [](Ctx& c) {
         NoArgs(c, "TL_RefreshOptions", TL_RefreshOptions, {1, -2});
     }},

    // -- identity, clock and network
    {"TL_GetFirmwareVersion",
     [](Ctx& c) {
         Buf version(50, c.P.OneIn(16));
         Check(c, "TL_GetFirmwareVersion", TL_GetFirmwareVersion(c.h, version.text()))
             .Results({1, -2, 4})
             .Kept({&version})
             .Text(version);
     }},
    {"TL_GetSerialNumber",
     [](Ctx& c) {
         OptionText(c, "TL_GetSerialNumber", TL_GetSerialNumber, "~SerialNumber",
                    Check::kDefaulted);
     }},
    {"TL_GetProductName",
     [](Ctx& c) {
         OptionText(c, "TL_GetProductName", TL_GetProductName, "~DeviceName", Check::kDefaulted);
     }},
    {"TL_GetVendor",
     [](Ctx& c) { OptionText(c, "TL_GetVendor", TL_GetVendor, "~OEMVendor", Check::kDefaulted); }},
    {"TL_GetSensorSN",
     [](Ctx& c) { OptionText(c, "TL_GetSensorSN", TL_GetSensorSN, "GUID", Check::kDefaulted); }},
    {"TL_ReadCustData",
     [](Ctx& c) {
         OptionText(c, "TL_ReadCustData", TL_ReadCustData, "~CustData", Check::kDefaulted);
     }},
    {"TL_GetWiegandFmt",
     [](Ctx& c) {
         OptionText(c, "TL_GetWiegandFmt", TL_GetWiegandFmt, "WiegandFmt", Check::kDefaulted);
     }},
    {"TL_GetIPAddress",
     [](Ctx& c) {
         OptionText(c, "TL_GetIPAddress", TL_GetIPAddress, "IPAddress", Check::kStrict);
     }},
    {"TL_WriteCustData", [](Ctx& c) { SetText(c, "TL_WriteCustData", TL_WriteCustData); }},
    {"TL_SetWiegandFmt", [](Ctx& c) { SetText(c, "TL_SetWiegandFmt", TL_SetWiegandFmt); }},
    {"TL_SetIPAddress", [](Ctx& c) { SetText(c, "TL_SetIPAddress", TL_SetIPAddress); }},
    {"TL_GetDevicePort", [](Ctx& c) { GetU16(c, "TL_GetDevicePort", TL_GetDevicePort); }},
    {"TL_SetDevicePort", [](Ctx& c) { SetNumber(c, "TL_SetDevicePort", TL_SetDevicePort); }},
    {"TL_GetDeviceNumber", [](Ctx& c) { GetU16(c, "TL_GetDeviceNumber", TL_GetDeviceNumber); }},
    {"TL_SetDeviceNumber", [](Ctx& c) { SetNumber(c, "TL_SetDeviceNumber", TL_SetDeviceNumber); }},
    {"TL_GetLanguage",
     [](Ctx& c) { GetInt(c, "TL_GetLanguage", TL_GetLanguage, INT_MIN, INT_MAX); }},
    {"TL_SetLanguage", [](Ctx& c) { SetNumber(c, "TL_SetLanguage", TL_SetLanguage); }},
    {"TL_SetDeviceCommPwd",
     [](Ctx& c) { SetNumber(c, "TL_SetDeviceCommPwd", TL_SetDeviceCommPwd); }},
    {"TL_GetCardFun",
     [](Ctx& c) {
         // On -2 the output may keep what the first option read stored.
         Buf function(4, c.P.OneIn(8));
         const int r = TL_GetCardFun(c.h, function.ints());
         Check(c, "TL_GetCardFun", r).Results({1, -2}).IntIn(function, 0, 2);
         if (!c.h && !function.Untouched()) Fail("TL_GetCardFun", "wrote without a session");
     }},
    {"TL_GetTime",
     [](Ctx& c) {
         Clock t(c.P);
         Check k(c, "TL_GetTime",
                 TL_GetTime(c.h, t.y.ints(), t.mo.ints(), t.d.ints(), t.h.ints(), t.mi.ints(),
                            t.s.ints()));
         k.Results({1, -2});
         t.Judge(k);
     }},
    {"TL_SetTime",
     [](Ctx& c) {
         Program& P = c.P;
         const int y = P.Int(), mo = P.Int(), d = P.Int(), h = P.Int(), mi = P.Int(), s = P.Int();
         Check(c, "TL_SetTime", TL_SetTime(c.h, y, mo, d, h, mi, s)).Results({1, -2});
     }},
    {"TL_GetDeviceStatus",
     [](Ctx& c) {
         const int index =
             c.P.OneIn(4) ? c.P.Pick({0, 23, 24, 25, 26, -1, INT_MIN}) : 1 + c.P.Small(22);
         const bool inRange = index >= 1 && index <= 25;
         Buf value(4, c.P.OneIn(8));
         const int r = TL_GetDeviceStatus(c.h, index, value.ints());
         Check(c, "TL_GetDeviceStatus", r, inRange)
             .Results({1, -2, 4})
             .Kept({&value})
             .Always(inRange || r == 4, "an index outside 1-25 did not give 4");
     }},
    {"TL_GetPINWidth",
     [](Ctx& c) {
         // The width is 5 until the terminal says otherwise, whatever the result.
         Buf width(4, c.P.OneIn(8));
         const int r = TL_GetPINWidth(c.h, width.ints());
         Check(c, "TL_GetPINWidth", r)
             .Results({1, -2})
             .IntIn(width, -128, 127)
             .Always(r != -2 || width.omitted() || width.Int() == 5,
                     "a failed read did not leave the width at 5");
         if (!c.h && !width.Untouched()) Fail("TL_GetPINWidth", "wrote without a session");
     }},
    {"TL_IsTFTMachine",
     [](Ctx& c) {
         Buf flag(4, c.P.OneIn(8));
         const int r = TL_IsTFTMachine(c.h, flag.ints());
         Check(c, "TL_IsTFTMachine", r).Results({1}).IntIn(flag, 0, 1);
         if (!c.h && !flag.omitted() && flag.Int() != 0)
             Fail("TL_IsTFTMachine", "a null session did not set the flag to 0");
     }},
    {"TL_GetKeyOptions",
     [](Ctx& c) {
         Buf value(4, c.P.OneIn(8));
         Check(c, "TL_GetKeyOptions", TL_GetKeyOptions(c.h, value.ints()))
             .Results({1})
             .Kept({&value});
     }},
    {"TL_GetSDKVersion",
     [](Ctx& c) {
         Buf text(8, c.P.OneIn(8));
         Check(c, "TL_GetSDKVersion", TL_GetSDKVersion(text.text()), false).Results({1}).Text(text);
     }},
};

}  // namespace

std::span<const Call> DeviceCalls() {
    return kCalls;
}

}  // namespace hostile
