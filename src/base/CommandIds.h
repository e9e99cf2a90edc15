#pragma once

namespace pv {

// Menu commands of the main window. The numbers are those every parameter of the program has
// always used, kept so that ids in help topics and tests read the same everywhere.
namespace Command {
constexpr int FileSaveAs = 40003;
constexpr int FileOpen = 40005;
constexpr int FileSave = 40006;
constexpr int FileClose = 40007;
constexpr int Help = 40008;
constexpr int About = 40009;
constexpr int LoggingStart = 40011;
constexpr int LoggingConfigure = 40013;
constexpr int NetworkSettings = 40014;
constexpr int TriggerDefine = 40015;
constexpr int HexSymbols0 = 40017;
constexpr int HexSymbols192 = 40018;
constexpr int HexSymbols64 = 40019;
constexpr int HexSymbols128 = 40020;
constexpr int Priority = 40021;
constexpr int UseAsciiSymbols = 40022;
constexpr int AsciiSymbols0 = 40023;
constexpr int AsciiSymbols64 = 40024;
constexpr int AsciiSymbols128 = 40025;
constexpr int AsciiSymbols192 = 40026;
constexpr int UseHexSymbols = 40027;
constexpr int LocalEchoA = 40028;
constexpr int LocalEchoB = 40029;
constexpr int Identifier = 40030;
constexpr int RecordStart = 40038;
constexpr int RecordStop = 40039;
constexpr int PlaybackStart = 40040;
constexpr int LoggingStop = 40041;
constexpr int ExchangeDefine = 40042;
constexpr int Configure = 40044;
}  // namespace Command

}  // namespace pv
