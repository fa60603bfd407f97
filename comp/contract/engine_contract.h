#pragma once
// The contract between the updater and its update engine, comp.dll, in the
// libs folder. The library exports three plain functions with the standard
// Windows calling convention under undecorated names; the updater binds each
// by name at its first call. The engine writes three variables of the
// updater's from its own thread: a 16-bit status (the codes below), and the
// 32-bit signed byte counts done and total.
#include <cstdint>

#if defined(_WIN32)
#define VELMORA_ENGINE_CALL __stdcall
#else
#define VELMORA_ENGINE_CALL
#endif

extern "C" {

// Called once when the updater's window loads, before the start, while the
// working folder is libs. The result is not used.
std::int32_t VELMORA_ENGINE_CALL VelUpdaterInit();

// Starts the update and returns at once: url is the update data on the
// game's web server (path "/oficial/gamedata.vel"), localPath "libs\gamedata.vel"
// relative to the working folder (the application folder), both 8-bit text
// in the system code page. From then on the engine writes status, done and
// total through the three addresses. A negative result means the start
// failed; any other result is not used.
std::int16_t VELMORA_ENGINE_CALL VelUpdateStart(const char* url, const char* localPath, std::int16_t* status,
                                                std::int32_t* done, std::int32_t* total);

// Stops the engine; when it returns, the engine has released its files (the
// game is started right after). The result is not used.
std::int32_t VELMORA_ENGINE_CALL VelUpdaterCleanup();

}  // extern "C"

namespace velmora {

// A release may replace the updater's own files (the program, comp.dll and
// the control libraries) while they are in use: the engine renames each old
// one to its name plus this suffix, then puts the new one in its place.
// When the second rename fails, the engine renames the old file back itself;
// should a run be killed between the two, the updater's start-up renames a
// set-aside library back before it registers or loads anything.
inline constexpr wchar_t kSetAsideSuffix[] = L".velmora-old";

// The export names and the function types to bind them by.
inline constexpr char kEngineInitName[] = "VelUpdaterInit";
inline constexpr char kEngineStartName[] = "VelUpdateStart";
inline constexpr char kEngineCleanupName[] = "VelUpdaterCleanup";
using EngineInitFunction = decltype(&VelUpdaterInit);
using EngineStartFunction = decltype(&VelUpdateStart);
using EngineCleanupFunction = decltype(&VelUpdaterCleanup);

// What the engine writes into the status variable. 0 and every code not
// listed mean nothing to show.
enum class EngineStatus : std::int16_t {
    NothingToShow = 0,        // the variable before the first status
    UpToDate = 1,             // finished: the game may start
    DownloadingClient = 2,    // no local data: the whole client; progress shown
    LookingForChanges = 3,
    DownloadingChanges = 4,   // progress shown
    Saving = 5,
    ReadingLocalManifest = 6, // reading the local gamedata.vel
    Extracting = 7,
    HostNotResolved = -1,     // -1 to -4: no connection
    ConnectionRefused = -2,
    TimedOut = -3,
    ConnectionFailed = -4,
    ServerError = -5,         // an error answer, or another engine works on the folder
    TransferBroken = -6,      // the transfer was broken off
    WrongFile = -7,           // a file's size or SHA-256 is not the one signed, or local trouble
                              // (a file that cannot be written or replaced, out of memory)
    UpdaterObsolete = -8,     // the data needs a newer updater
    InvalidFormat = -9,       // unreadable, badly signed, unsafe, rolled back or expired data
};

// The value written into, or read from, the 16-bit status variable.
constexpr std::int16_t StatusCode(EngineStatus status) noexcept { return static_cast<std::int16_t>(status); }

}  // namespace velmora
