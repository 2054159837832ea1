// The texts of the remote command server and the three ways it speaks on a
// channel: a reply (sent to the station and echoed), a local notice (shown
// only), and the remote prompt. Texts are written in UTF-8 here and go on
// the air as CP437.
#pragma once

#include <string>
#include <string_view>

#include "channel/RemotePrompt.h"
#include "platform/Clock.h"

namespace norva {

class CTncChannel;

namespace remote_text {
inline constexpr std::string_view kVersion = "Norva 4.26 / 32 Bit Version";
inline constexpr std::string_view kHelpNotFound = "\rHilfe oder Info nicht gefunden.\r";
inline constexpr std::string_view kUnknown = "\rBefehl nicht erkannt.\r";
inline constexpr std::string_view kMessageOk = "\rNachricht OK.\r";
inline constexpr std::string_view kCallingSysop = "\rRufe Sysop... Bitte warten\r";
inline constexpr std::string_view kSysopAnswered = "\rSysop hat geantwortet  Einen Moment bitte.\r";
inline constexpr std::string_view kSysopNoAnswer =
    "\rSysop hat nicht geantwortet. Bitte versuchen Sie es später.\r";
inline constexpr std::string_view kRing = "\rring...\r";
inline constexpr std::string_view kYouAreCalled =
    "\rSie werden gerufen. Drücken Sie <return> um zu antworten.\r";
inline constexpr std::string_view kNotConfigured = "\rSystem ist nicht fuer Remotebetrieb konfiguriert.\r";
inline constexpr std::string_view kNoPassword = "\rKein Login Passwort definiert.\r";
inline constexpr std::string_view kBusy = "\rSystem ist beschaeftigt. Bitte versuchen sie es spaeter.\r";
inline constexpr std::string_view kSuperuserIn = "\rSuperuser hat eingelogged.\r";
inline constexpr std::string_view kSysLocked = "\rZu viele falsche Antworten: //SYS ist fuer dieses Rufzeichen gesperrt.\r";
inline constexpr std::string_view kNotAllowed = "\rDiese Kommando ist fuer normale Benutzer nicht erlaubt.\r";
inline constexpr std::string_view kSysopCallSound = "Sysop Ruf";
inline constexpr std::string_view kConverseJoined =
    "\r\rSie befinden sich jetzt auf dem Converse-Kanal von Norva.\r\rHilfe bekommen Sie jetzt mit dem "
    "Befehl /H.\r\r";
inline constexpr std::string_view kConverseLeft =
    "\r\rSie haben den Converse-Kanal von Norva verlassen.\r\rHilfe bekommen Sie jetzt  mit dem Befehl "
    "//H.\r\r";
inline constexpr std::string_view kConverseLeftLine = "Hat den Norva Converse-Kanal verlassen.\r";
inline constexpr std::string_view kConverseJoinedLine = "Eingelogged in Norva Converse-Kanal.\r";

// File commands.
inline constexpr std::string_view kNoDirectory = "Kann Verzeichnis nicht finden";
inline constexpr std::string_view kCannotMakeDir = "Kann Verzeichnis nicht erstellen";
inline constexpr std::string_view kCannotRemoveDir = "\rKann Verzeichnis nicht loeschen.\r";
inline constexpr std::string_view kBadCharacters = "\rDiese Zeichen *?\\: sind nicht erlaubt.\r";
inline constexpr std::string_view kFileDeleted = "\rDatei geloescht.\r";
inline constexpr std::string_view kCannotDelete = "\rKann Datei nicht loeschen.\r";
inline constexpr std::string_view kDirChanged = "Verzeichnis gewechselt nach ";
inline constexpr std::string_view kDirectory = "Verzeichnis";
inline constexpr std::string_view kRemoved = "entfernt";
inline constexpr std::string_view kDrives = "Verfuegbare Laufwerke:";
inline constexpr std::string_view kFileExists =
    "\r\nDatei existiert bereits. Waehlen Sie bitte einen anderen Namen.\r\n";
inline constexpr std::string_view kCannotOpen = "\rKann gewuenschte Datei nicht oeffnen.\r";
inline constexpr std::string_view kEnterText = "\rGeben Sie bitte den Text ein. Textende mit ***end auf neuer Zeile.\r";
inline constexpr std::string_view kMessageFrom = "Nachricht von";
inline constexpr std::string_view kStartBinary = "\rBitte starten Sie die Binaerdateiübertragung.\r";
inline constexpr std::string_view kStartYapp = "\rBitte starten Sie die YAPP-Uebertragung.\r";
inline constexpr std::string_view kFileNotFound = "\rKann gewuenschte Datei nicht finden.\r";
inline constexpr std::string_view kTimeout = "\rTimeout ! Programm antwortet nicht. \r";
inline constexpr std::string_view kRunNotFound = "\rKann gewuenschte RUN Datei nicht finden.\r";
inline constexpr std::string_view kProgramStarted = "\rProgramm gestartet. Bitte warten...\r\r";
inline constexpr std::string_view kCannotStart = "\rKann Programm nicht starten.\r";
inline constexpr std::string_view kOtherProgram = "\rEs laeuft gerade ein andere Programm. Bitte warten...\r";
inline constexpr std::string_view kVolumeLabel = "\r Label des Laufwerkes ist : ";
inline constexpr std::string_view kDirectoryOf = "\r Verzeichnis von ";
}  // namespace remote_text

// "dd.mm.yyyy hh:mm".
std::string dateTimeText(const LocalTime& t);
// "hh:mm".
std::string clockText(const LocalTime& t);

// Sent to the station (cut into Packlen pieces) and echoed in the channel's
// output as the station's own text. The text is UTF-8; CP437 goes on the air.
void remoteReply(CTncChannel& ch, std::string_view utf8);
// The same for bytes that are CP437 already (file listings, program output).
void remoteReplyOem(CTncChannel& ch, std::string_view oem);
// Only sent, not echoed.
void remoteSendOnly(CTncChannel& ch, std::string_view utf8);
// Shown in the channel's output only, as the station's own text would be.
void remoteEchoOnly(CTncChannel& ch, std::string_view utf8);

}  // namespace norva
