// The error table and the log file writer. The texts are Windows-1250 bytes written as
// escapes, so the source stays plain ASCII and no compiler re-encodes them.
#include "display/log.h"
#include "display/log_file.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

constexpr char kHeader[] = "__________Direct Draw - Log__________";
constexpr char kLineEnd[] = "\r\n";
constexpr char kUnknownCode[] = "Neidentifikovateln\xE1 chyba !";

struct ErrorText {
    std::uint32_t code;
    const char* text;
};

// Sorted by code, so the lookup can bisect.
constexpr std::array<ErrorText, 99> kErrorTexts = {{
    {0x80004001u, "Operace nen\xED podporov\xE1na !"}, // DDERR_UNSUPPORTED
    {0x80004005u, "Nedefinovan\xE1 chyba !"},          // DDERR_GENERIC
    {0x800401F0u, "Po\x9E"
                  "adovan\xE1 sou\xE8\xE1st neinicializov\xE1na !"}, // DDERR_NOTINITIALIZED
    {0x8007000Eu, "M\xE1lo RAM !"},                                  // DDERR_OUTOFMEMORY
    {0x80070057u, "\x8Apatn\xE9 parametry !"},                       // DDERR_INVALIDPARAMS
    {0x88760005u,
     "Objekt nebyl \xFAsp\xEC\x9An\xEC inicializov\xE1n !"}, // DDERR_ALREADYINITIALIZED
    {0x8876000Au,
     "Chyba p\xF8ipojen\xED objektu IDirectDrawSurface2 !"},           // DDERR_CANNOTATTACHSURFACE
    {0x88760014u, "Chyba odpojen\xED objektu IDirectDrawSurface2  !"}, // DDERR_CANNOTDETACHSURFACE
    {0x88760028u, "Nepodporovan\xE1 akce !"},                          // DDERR_CURRENTLYNOTAVAIL
    {0x88760037u, "V\xFDjime\xE8n\xFD stav !!!"},                      // DDERR_EXCEPTION
    {0x8876005Au, "Height align !"},                                   // DDERR_HEIGHTALIGN
    {0x8876005Fu, "Nekompatibiln\xED primary surface !"},              // DDERR_INCOMPATIBLEPRIMARY
    {0x88760064u, "Invalid caps !"},                                   // DDERR_INVALIDCAPS
    {0x8876006Eu, "Invalid cliplist !"},                               // DDERR_INVALIDCLIPLIST
    {0x88760078u, "DirectDraw nepodporuje tento m\xF3"
                  "d !"},                                          // DDERR_INVALIDMODE
    {0x88760082u, "Pou\x9Eit\xED \x9Apatn\xE9ho DDraw objektu !"}, // DDERR_INVALIDOBJECT
    {0x88760091u, "\x8Apatn\xFD PixelFormat !"},                   // DDERR_INVALIDPIXELFORMAT
    {0x88760096u, "\x8Apatn\xFD pravo\xFAheln\xEDk !"},            // DDERR_INVALIDRECT
    {0x887600A0u, "Surface je uzam\xE8"
                  "en\xE9 !"},                                              // DDERR_LOCKEDSURFACES
    {0x887600AAu, "Nen\xED prezentov\xE1no hardwarov\xE9 3D !"},            // DDERR_NO3D
    {0x887600B4u, "Nen\xED prezentov\xE1no alpha hardware urychlen\xED !"}, // DDERR_NOALPHAHW
    {0x887600CDu, "Clip list nen\xED dostupn\xFD !"},                       // DDERR_NOCLIPLIST
    {0x887600D2u, "Tato operace vy\x9E"
                  "aduje hardware pro barevnou konverzi !"},          // DDERR_NOCOLORCONVHW
    {0x887600D4u, "Nenastaveno CooperativeLevel !"},                  // DDERR_NOCOOPERATIVELEVELSET
    {0x887600D7u, "Objekt surface nem\xE1 spr\xE1vn\xFD ColorKey !"}, // DDERR_NOCOLORKEY
    {0x887600DCu, "Operace nelze prov\xE9st bez hardware podporuj\xED"
                  "c\xEDho ColorKey !"},         // DDERR_NOCOLORKEYHW
    {0x887600DEu, "Driver nepodporuje DDraw !"}, // DDERR_NODIRECTDRAWSUPPORT
    {0x887600E1u, "Tato operace vy\x9E"
                  "aduje EXCLUSIVE mode !"},                  // DDERR_NOEXCLUSIVEMODE
    {0x887600E6u, "Hardware nepodporuje Surface flipping !"}, // DDERR_NOFLIPHW
    {0x887600F0u, "Nen\xED prezentov\xE1no GDI !"},           // DDERR_NOGDI
    {0x887600FAu, "Hardware nepodporuje Mirrors !"},          // DDERR_NOMIRRORHW
    {0x887600FFu, "Po\x9E"
                  "adovan\xE1 sou\xE8\xE1st nenalezena !"},                 // DDERR_NOTFOUND
    {0x88760104u, "Hardware nepodporuje Overlay !"},                        // DDERR_NOOVERLAYHW
    {0x88760118u, "Neuskute\xE8niteln\xE1 hardwarov\xE1 raster operace !"}, // DDERR_NORASTEROPHW
    {0x88760122u, "Hardware nepodporuje Rotace !"},                         // DDERR_NOROTATIONHW
    {0x88760136u, "Hardware nepodporuje Stretching !"},                     // DDERR_NOSTRETCHHW
    {0x8876013Cu, "Operace po\x9E"
                  "aduje 4-Bit paletu !"}, // DDERR_NOT4BITCOLOR
    {0x8876013Du, "Operace vy\x9E"
                  "aduje 4-Bit barevn\xFD index !"}, // DDERR_NOT4BITCOLORINDEX
    {0x88760140u, "Operace po\x9E"
                  "aduje 8-Bit paletu !"},                                  // DDERR_NOT8BITCOLOR
    {0x8876014Au, "Hardware nepodporuje texturing !"},                      // DDERR_NOTEXTUREHW
    {0x8876014Fu, "Hardware nepodporuje vertik\xE1ln\xED synchronizaci !"}, // DDERR_NOVSYNCHW
    {0x88760154u, "Hardware nepodporuje Z-Buffer !"},                       // DDERR_NOZBUFFERHW
    {0x8876015Eu, "Hardware nepodporuje Z-Overlay !"},                      // DDERR_NOZOVERLAYHW
    {0x88760168u, "Operace pot\xF8"
                  "ebuje v\xED"
                  "ce fyzick\xE9 pam\xECti pro alokaci !"},   // DDERR_OUTOFCAPS
    {0x8876017Cu, "M\xE1lo Video-RAM ! !"},                   // DDERR_OUTOFVIDEOMEMORY
    {0x8876017Eu, "Hardware nepodporuje Clipped Overlays !"}, // DDERR_OVERLAYCANTCLIP
    {0x88760180u,
     "Na overlay je aktivn\xED jen 1 ColorKey !"}, // DDERR_OVERLAYCOLORKEYONLYONEACTIVE
    {0x88760183u, "V t\xE9to chv\xEDli je paleta nep\xF8\xEDstupn\xE1 (zkuste to za 10 "
                  "min.) !"},                                      // DDERR_PALETTEBUSY
    {0x88760190u, "Pro operaci nebyl specifikov\xE1n ColorKey !"}, // DDERR_COLORKEYNOTSET
    {0x8876019Au, "Surface nelze napojit !"},                      // DDERR_SURFACEALREADYATTACHED
    {0x887601A4u, "Surface napojen\xE1 na jinou nem\xF9\x9E"
                  "e b\xFDt z\xE1visl\xE1 !"}, // DDERR_SURFACEALREADYDEPENDENT
    {0x887601AEu,
     "Surface nyn\xED nen\xED k dispozici (zkuste to za 10 min.) !"}, // DDERR_SURFACEBUSY
    {0x887601B3u, "Objekt Surface nelze uzamknout !"},                // DDERR_CANTLOCKSURFACE
    {0x887601B8u, "P\xF8\xEDstup k surface byl odm\xEDtnut !"},       // DDERR_SURFACEISOBSCURED
    {0x887601C2u, "P\xF8\xEDstup k surface byl ztracen !"},           // DDERR_SURFACELOST
    {0x887601CCu, "Po\x9E"
                  "adovan\xE1 surface nen\xED z\xE1visl\xE1 !"}, // DDERR_SURFACENOTATTACHED
    {0x887601D6u, "Height je p\xF8\xEDli\x9A velk\xE1 !"},       // DDERR_TOOBIGHEIGHT
    {0x887601E0u, "Velikost je p\xF8\xEDli\x9A velk\xE1 !"},     // DDERR_TOOBIGSIZE
    {0x887601EAu, "Width je p\xF8\xEDli\x9A velk\xE1 !"},        // DDERR_TOOBIGWIDTH
    {0x887601FEu, "Form\xE1t nen\xED podporov\xE1n !"},          // DDERR_UNSUPPORTEDFORMAT
    {0x88760208u, "BitMask nen\xED podporov\xE1na !"},           // DDERR_UNSUPPORTEDMASK
    {0x88760219u,
     "Vertik\xE1ln\xED m\xEDsto se zpracov\xE1v\xE1 !"}, // DDERR_VERTICALBLANKINPROGRESS
    {0x8876021Cu, "P\xF8"
                  "ed BLIT se p\xF8i transferu stala chyba !"}, // DDERR_WASSTILLDRAWING
    {0x88760230u, "Pravo\xFAheln\xEDk nem\xF9\x9E"
                  "e b\xFDt horizont\xE1ln\xEC zarovn\xE1n !"}, // DDERR_XALIGN
    {0x88760231u, "\x8Apatn\xFD DDraw GUID (verze) !"},         // DDERR_INVALIDDIRECTDRAWGUID
    {0x88760232u, "Objekt DirectDraw nemohl b\xFDt vytvo\xF8"
                  "en !"},                         // DDERR_DIRECTDRAWALREADYCREATED
    {0x88760233u, "Hardware nepodporuje DDraw !"}, // DDERR_NODIRECTDRAWHW
    {0x88760234u, "Tento proces vy\x9E"
                  "aduje primary surface !"},             // DDERR_PRIMARYSURFACEALREADYEXISTS
    {0x88760235u, "Nenalezen emula\xE8n\xED software !"}, // DDERR_NOEMULATION
    {0x88760236u, "Region zadan\xFD funkci IDirectDrawClipper::GetClipList  je "
                  "p\xF8\xEDli\x9A mal\xFD !"}, // DDERR_REGIONTOOSMALL
    {0x88760237u, "Objekt DirectDrawClipper pr\xE1v\xEC vyu\x9E\xEDv\xE1 t\xF8\xED"
                  "da HWND!"},                                // DDERR_CLIPPERISUSINGHWND
    {0x88760238u, "Clipper nen\xED p\xF8ipojen k surface !"}, // DDERR_NOCLIPPERATTACHED
    {0x88760239u, "Tato funkce pot\xF8"
                  "ebuje spr\xE1vn\xE9 Hwnd !"},                         // DDERR_NOHWND
    {0x8876023Au, "Hwnd bylo Subclassed !"},                             // DDERR_HWNDSUBCLASSED
    {0x8876023Bu, "Cooperative mode nemohl b\xFDt nastaven !"},          // DDERR_HWNDALREADYSET
    {0x8876023Cu, "K Surface nebyla p\xF8ipojena paleta !"},             // DDERR_NOPALETTEATTACHED
    {0x8876023Du, "Hardware nepodporuje 16(256) - barevn\xE9 palety !"}, // DDERR_NOPALETTEHW
    {0x8876023Eu, "Chyba funkce IDirectDrawSurface2::BltFast !"},        // DDERR_BLTFASTCANTCLIP
    {0x8876023Fu, "Nen\xED prezentov\xE1n hardware Blitting !"},         // DDERR_NOBLTHW
    {0x88760240u, "Hardware nepodporuje DirectDrawRops !"},              // DDERR_NODDROPSHW
    {0x88760241u, "Metoda IDirectDrawSurface2::GetOverlayPosition je volan\xE1 pro "
                  "skryt\xFD overlay !"}, // DDERR_OVERLAYNOTVISIBLE
    {0x88760242u, "Chyba p\xF8i vol\xE1n\xED ::GetOverlayPosition nebo ::UpdateOverlay "
                  "!"}, // DDERR_NOOVERLAYDEST
    {0x88760243u, "\x8Apatn\xE1 pozice (p\xF8"
                  "ete\xE8"
                  "en\xED) !"},                                          // DDERR_INVALIDPOSITION
    {0x88760244u, "Overlay komponent vol\xE1n z non-overlay surface !"}, // DDERR_NOTAOVERLAYSURFACE
    {0x88760245u,
     "Cooperative mode nemohl b\xFDt nastaven na EXCLUSIVE !"}, // DDERR_EXCLUSIVEMODEALREADYSET
    {0x88760246u, "Surface se nepoda\xF8ilo FLIPovat !"},       // DDERR_NOTFLIPPABLE
    {0x88760247u, "Chyba duplikace surface !"},                 // DDERR_CANTDUPLICATE
    {0x88760248u, "Surface nen\xED zam\xE8"
                  "en\xE1 (a proto nelze odem\xE8\xEDt) !"}, // DDERR_NOTLOCKED
    {0x88760249u, "Chyba vytvo\xF8"
                  "en\xED objektu HDc !"}, // DDERR_CANTCREATEDC
    {0x8876024Au, "Toto Surface nem\xF9\x9E"
                  "e m\xEDt HDc !"}, // DDERR_NODC
    {0x8876024Bu, "\x8Apatn\xFD m\xF3"
                  "d !"}, // DDERR_WRONGMODE
    {0x8876024Cu, "Chyba implicitn\xEC vytvo\xF8"
                  "en\xE9ho surface !"},                 // DDERR_IMPLICITLYCREATED
    {0x8876024Du, "Surface nen\xED Palette-based !"},    // DDERR_NOTPALETTIZED
    {0x8876024Eu, "Mode nen\xED podporov\xE1n !"},       // DDERR_UNSUPPORTEDMODE
    {0x8876024Fu, "Hardware nepodporuje Mip-Mapping !"}, // DDERR_NOMIPMAPHW
    {0x88760250u, "\x8Apatn\xFD typ surface !"},         // DDERR_INVALIDSURFACETYPE
    {0x8876026Cu, "Objekt HDc nemohl b\xFDt vytvo\xF8"
                  "en !"},                          // DDERR_DCALREADYCREATED
    {0x88760280u, "Objekt Page nelze uzamknout !"}, // DDERR_CANTPAGELOCK
    {0x887602A8u, "Page nen\xED zam\xE8"
                  "en\xE1 (a proto nelze odem\xE8\xEDt) !"}, // DDERR_NOTPAGELOCKED
}};

static_assert(std::is_sorted(kErrorTexts.begin(), kErrorTexts.end(),
                             [](const ErrorText& a, const ErrorText& b) {
                                 return a.code < b.code;
                             }));

// The line end is written explicitly, so no run-time library gets to translate it.
void write_line(LogWrite how, const char* text) {
    write_log_file(kLogFileName, how, text, std::strlen(text), kLineEnd, sizeof kLineEnd - 1);
}

} // namespace

void log_begin() {
    write_line(LogWrite::empty_first, kHeader);
}

void log_line(const char* text) {
    write_line(LogWrite::append, text != nullptr ? text : "");
}

const char* dd_error_text(std::uint32_t code) {
    auto it = std::lower_bound(kErrorTexts.begin(), kErrorTexts.end(), code,
                               [](const ErrorText& e, std::uint32_t c) { return e.code < c; });
    if (it != kErrorTexts.end() && it->code == code) return it->text;
    return kUnknownCode;
}
