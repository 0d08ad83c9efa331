#include "conversion/lentra/LentraMessages.h"

#include "conversion/lentra/LentraCommands.h"

namespace lentra {

std::string_view parseErrorText(int code) {
    switch (code) {
        case kMisplacedSlash:
            return "Lentra:Chybne umisteni lomitka";
        case kNoSlashBeforeH:
            return "Lentra:Pred H neni lomitko";
        case kMisplacedStar:
            return "Lentra:Chybne umisteni *";
        case kMisplacedBackslash:
            return "Lentra:Chybne umisteni obraceneho lomitka";
        case kMisplacedHexDigit:
            return "Lentra:Chybna poloha hexa cislice";
        case kMisplacedDigit:
            return "Lentra:Chybna poloha cislice";
        case kForbiddenCharacter:
            return "Lentra:Nepovoleny znak";
        case kBadCommandEnd:
            return "Lentra:Chybne ukonceni prikazu";
        case kNoSlashBeforePOrZ:
            return "Lentra:Pred P nebo Z neni lomitko";
        case kNoSlashBeforeCommand:
            return "Lentra:Pred U nebo R nebo K neni lomitko";
        case kTooManyReplacements:
            return "Lentra:Prekrocen povoleny pocet nahrazovanych znaku";
        case kUnpairedReplacement:
            return "Lentra:Nesouhlasi pocet znaku nahrad ('jaky znak kterym')";
        case kByteListFull:
            return "Lentra:Prekrocen povoleny pocet znaku pro /L a /H (nejvyse 10)";
        case kCommandTooLong:
            return "Lentra:Prilis dlouhy prikaz (nejvyse 255 znaku)";
        default:
            return kUnknownErrorText;
    }
}

}  // namespace lentra
