#pragma once

// The main dialog as data: every control with its kind, style, text and place,
// the items of every list, initial selections, text limits and fonts. This is
// the one description of the dialog; the form model and every front end build
// from it instead of restating it.

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ui/translations.h"

namespace modem {

enum class ControlKind {
    Button,
    NumberField,     // single-line edit, digits only
    TextField,       // single-line edit
    MultiLineField,  // multi-line edit without scroll bars or automatic scrolling
    List,            // drop-down list, vertical scroll bar
    Label,           // static text, centred
    LeftLabel,       // static text, left-aligned
    GroupBox,        // frame, title at the left
    CentredGroupBox  // frame, title centred
};

enum class TextAlignment { Left, Centre };

struct FontTemplate {
    std::string_view face;
    int height = 0;  // pixels (the cell height a Win32 font is made with)
    int weight = 0;  // 400 = normal
};

struct ControlTemplate {
    int id = 0;
    ControlKind kind = ControlKind::Label;
    std::string_view text;  // UTF-8; empty for lists and multi-line fields
    // Dialog units. A list's height includes its dropped-down part.
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool tabStop = false;
    TextAlignment alignment = TextAlignment::Centre;  // text, caption or frame title
    bool multiLineCaption = false;  // button caption centred both ways, broken over lines
    bool fixedPitchFont = false;    // uses fixedPitchFont() instead of the dialog font
    std::size_t textLimit = 0;      // characters; 0 = none
    bool digitsOnly = false;
};

struct ListTemplate {
    int id = 0;
    std::vector<std::string> items;  // UTF-8, in fill order
    int initialSelection = -1;       // -1: set from the settings afterwards
};

struct DialogTemplate {
    std::string_view caption;  // UTF-8
    std::string_view windowClass;
    int x = 0;  // dialog units; ignored, the dialog is centred on the screen
    int y = 0;
    int width = 0;  // dialog units
    int height = 0;
    std::string_view fontFace;
    int pointSize = 0;
    int iconId = 0;
    int firstFocus = 0;  // the control with the keyboard focus when the dialog opens
};

namespace ids {
// Dialog template.
inline constexpr int dialog = 1001;
inline constexpr int icon = 8001;

// Buttons.
inline constexpr int connectButton = 4003;
inline constexpr int readSettingsButton = 4007;   // "Считать"
inline constexpr int writeSettingsButton = 4008;  // "Настроить"
inline constexpr int storeProfileButton = 4009;   // "Сохранить" under the modem settings
inline constexpr int openFileButton = 4010;
inline constexpr int saveFileButton = 4011;
inline constexpr int mfChannelButton = 4014;
inline constexpr int modemTestButton = 4015;
inline constexpr int vhfRssiButton = 4016;
inline constexpr int vhfChannelButton = 4020;
inline constexpr int vhfToneButton = 4022;
inline constexpr int vhfReceiveButton = 4026;
inline constexpr int vhfTransmitButton = 4027;
inline constexpr int firmwareVersionButton = 4028;
inline constexpr int checkButton = 4030;       // "Проверить"
inline constexpr int copyReportButton = 4053;  // "Скопир."
inline constexpr int vhfVswrButton = 4054;
inline constexpr int powerSupplyButton = 4055;
inline constexpr int mfRssiButton = 4071;
inline constexpr int readProfileButton = 4078;  // "Считать " with a trailing blank
inline constexpr int mfToneButton = 4089;
inline constexpr int mfReceiveButton = 4091;
inline constexpr int mfTransmitButton = 4092;
inline constexpr int mfVswrButton = 4093;
inline constexpr int vhfReducedPowerButton = 4097;
inline constexpr int vhfNormalPowerButton = 4098;
inline constexpr int mfReducedPowerButton = 4099;
inline constexpr int mfNormalPowerButton = 4100;

// Edit fields.
inline constexpr int channelTable = 4002;
inline constexpr int terminalPane = 4017;
inline constexpr int vhfToneField = 4021;  // Hz
inline constexpr int wtField = 4031;
inline constexpr int oddPathField = 4033;   // CHS1, CHL1
inline constexpr int evenPathField = 4034;  // CHS2, CHL2
inline constexpr int repField = 4038;
inline constexpr int htField = 4047;
inline constexpr int idRx1Field = 4059;
inline constexpr int idTx1Field = 4060;
inline constexpr int mfToneField = 4087;  // Hz
inline constexpr int grssiField = 4107;
inline constexpr int idTx2Field = 4109;
inline constexpr int idRx2Field = 4110;
inline constexpr int rsdlyField = 4114;

// Lists.
inline constexpr int gchList = 4006;
inline constexpr int vhfTestChannelList = 4019;
inline constexpr int vp1List = 4039;
inline constexpr int vp3List = 4040;
inline constexpr int mpList = 4041;
inline constexpr int vp2List = 4042;
inline constexpr int modList = 4049;
inline constexpr int psList = 4051;
inline constexpr int vp4List = 4056;
inline constexpr int absentBandList = 4057;  // BAND has no control: writes vanish, reads give 0
inline constexpr int idbList = 4061;
inline constexpr int mfTestChannelList = 4064;
inline constexpr int profileList = 4075;
inline constexpr int gmodeList = 4079;
inline constexpr int vmodeList = 4083;
inline constexpr int gpwrList = 4095;
inline constexpr int mp2List = 4106;
}  // namespace ids

// All controls in template order, which is also the tab order, with their
// texts in `language`; everything else is the same in both languages.
[[nodiscard]] std::span<const ControlTemplate> dialogControls(
    Language language = Language::Russian);
// nullptr for an id the dialog does not have (4057 among them).
[[nodiscard]] const ControlTemplate* findControl(int id);

// Every list in the order it is filled, its items in `language`.
[[nodiscard]] std::span<const ListTemplate> dialogLists(Language language = Language::Russian);
[[nodiscard]] const ListTemplate* findList(int id);

[[nodiscard]] std::size_t textLimit(int id);  // 0 = none
[[nodiscard]] bool isDigitsOnly(int id);

[[nodiscard]] DialogTemplate dialogTemplate(Language language = Language::Russian);
// The font of the channel table and the terminal pane; every other control
// uses the dialog font.
[[nodiscard]] FontTemplate fixedPitchFont();

}  // namespace modem
