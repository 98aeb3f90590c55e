// Maintenance: firmware, files and table export; backup, restore, image
// capture and cards.
#include "hostile/caller.h"
#include "maintenance/backup.h"
#include "session/session.h"

namespace hostile {
namespace {

const Call kCalls[] = {
    // -- firmware, files and table export
    {"TL_UpdateFirmware",
     [](Ctx& c) {
         // Now and then a well-formed head, so that data lines count.
         std::string text;
         if (!c.P.OneIn(4)) {
             text = c.P.OneIn(2) ? "FirmwareVersion=Ver 9.99 Dec 31 2099\n" : "";
             text += "FirmwareLength=" + std::to_string(c.P.Small(40)) +
                     "\nFirmwareCheckSum=" + std::to_string(c.P.Word()) + "\n";
         }
         const auto blob = c.P.Blob(600);
         text.append(blob.begin(), blob.end());
         const std::string path = InDir("fw.txt");
         if (FILE* f = std::fopen(path.c_str(), "wb")) {
             std::fwrite(text.data(), 1, text.size(), f);
             std::fclose(f);
         }
         const auto arg = c.P.OneIn(8) ? nullptr : InText(c.P.OneIn(8) ? InDir("none") : path);
         Check(c, "TL_UpdateFirmware", TL_UpdateFirmware(c.h, Ptr(arg))).Results({1, -2, 4});
     }},
    {"TL_SendFile",
     [](Ctx& c) {
         const auto blob = c.P.Blob(300);
         const std::string path = InDir("send.bin");
         if (FILE* f = std::fopen(path.c_str(), "wb")) {
             std::fwrite(blob.data(), 1, blob.size(), f);
             std::fclose(f);
         }
         std::unique_ptr<Buf> arg;
         switch (c.P.Small(5)) {
             case 0:
                 break;
             case 1:
                 arg = InText(InDir("none"));
                 break;
             case 2:
                 arg = InText(InDir(std::string(40, 'n').c_str()));
                 break;
             default:
                 arg = InText(path);
         }
         const int r = TL_SendFile(c.h, Ptr(arg));
         if (!arg) {
             if (r != 4) Fail("TL_SendFile", "a null path was not refused first");
             c.term.StartCall();
             return;
         }
         Check(c, "TL_SendFile", r).Results({1, -2, -4, 4});
     }},
    {"TL_ReadFile",
     [](Ctx& c) {
         const char* names[] = {"a.txt", "", nullptr, "missing/table.dat"};
         const char* name = names[c.P.Small(4)];
         const auto dir = c.P.OneIn(8) ? nullptr : InText(ReportDir() + "/");
         const auto nameArg = name ? InText(name) : nullptr;
         Check(c, "TL_ReadFile", TL_ReadFile(c.h, Ptr(nameArg), Ptr(dir))).Results({1, -2, -4, 4});
     }},
    {"TL_UpdateLanguageByID",
     [](Ctx& c) {
         const auto text = c.P.OneIn(8) ? nullptr : InText(c.P.Text(120));
         const int id = c.P.Int();
         Check(c, "TL_UpdateLanguageByID", TL_UpdateLanguageByID(c.h, id, Ptr(text)))
             .Results({1, -2, 4});
     }},
    {"TL_SendBackgroundCMD",
     [](Ctx& c) {
         const int command = c.P.Int(), a = c.P.Int(), b = c.P.Int();
         Check(c, "TL_SendBackgroundCMD", TL_SendBackgroundCMD(c.h, command, a, b, c.P.Int()))
             .Results({1, -2});
     }},
    {"TL_GetData",
     [](Ctx& c) {
         const char* outs[] = {"table.dat", "missing/table.dat"};
         const auto out = c.P.OneIn(8) ? nullptr : InText(InDir(outs[c.P.Small(2)]));
         Check(c, "TL_GetData", TL_GetData(c.h, c.P.Int(), Ptr(out))).Results({1, 0, -2, 4, -100});
     }},

    // -- backup, restore, capture, cards
    {"TL_BackupData",
     [](Ctx& c) {
         const auto path = InText(c.P.OneIn(16)   ? InDir("missing/backup.arc")
                                  : c.P.OneIn(16) ? std::string(200, 'b')
                                                  : InDir("backup.arc"));
         // The export pauses 200 ms after each block; the same code without
         // the pause keeps the runs fast.
         tl::BackupOptions fast;
         fast.blockPauseMs = 0;
         const int r = c.h ? tl::BackupData(*tl::as_session(c.h), path->text(), fast)
                           : TL_BackupData(c.h, path->text());
         Check(c, "TL_BackupData", r).Results({1, 0, -2, 4, -100});
     }},
    {"TL_RestoreData",
     [](Ctx& c) {
         // A backup an earlier call wrote, or a file that is none.
         const auto path = InText(InDir(c.P.OneIn(4) ? "users.dat" : "backup.arc"));
         Check(c, "TL_RestoreData", TL_RestoreData(c.h, path->text())).Results({1, 0, -2, 4, -100});
     }},
    {"TL_CaptureImage",
     [](Ctx& c) {
         Program& P = c.P;
         const int full = P.Small(2);
         Buf width(4, P.OneIn(16)), height(4, P.OneIn(16));
         width.SetInt(0, P.Pick({0, 0, 1, 302, 640, 1000, -1}));
         Buf pixels(307208, P.OneIn(4));
         const auto bmp = P.OneIn(2) ? nullptr : InText(InDir("capture.bmp"));
         const int r =
             TL_CaptureImage(c.h, full, width.ints(), height.ints(), pixels.bytes(), Ptr(bmp));
         Check k(c, "TL_CaptureImage", r);
         k.Results({1, -2, 4}).Kept({&pixels});
         if (r == 1 && !width.omitted() && !height.omitted()) {
             const long long n = 1LL * width.Int() * height.Int();
             k.Always(width.Int() > 0 && height.Int() > 0 && n <= 307208,
                      "reported an image larger than its buffer");
             if (!pixels.omitted())
                 k.Always(n == 307208 || pixels.data()[n] == kSentinel,
                          "wrote pixels past width x height");
         }
     }},
    {"TL_MFWrite",
     [](Ctx& c) {
         Program& P = c.P;
         Buf descriptor(12, P.OneIn(16)), data(4096, P.OneIn(16));
         std::uint8_t d[12];
         P.Copy(d, sizeof d);
         descriptor.SetBytes(d, sizeof d);
         Check(c, "TL_MFWrite", TL_MFWrite(c.h, P.Int(), descriptor.bytes(), data.bytes()))
             .Results({1, 0, -4, -5, -2, 4})
             .Always(descriptor.Untouched() && data.Untouched(), "changed its input");
     }},
    {"TL_MFEmpty",
     [](Ctx& c) {
         Check(c, "TL_MFEmpty", TL_MFEmpty(c.h)).Results({1, 0, -4, -5, -2});
     }},
};

}  // namespace

std::span<const Call> MaintenanceCalls() {
    return kCalls;
}

}  // namespace hostile
