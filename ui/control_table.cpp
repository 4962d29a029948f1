#include "ui/control_table.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace modem {

namespace {

constexpr ControlTemplate place(ControlTemplate c, int x, int y, int width, int height) {
    c.x = x;
    c.y = y;
    c.width = width;
    c.height = height;
    return c;
}

constexpr ControlTemplate button(int id, std::string_view text, int x, int y, int w, int h) {
    return place({.id = id, .kind = ControlKind::Button, .text = text, .tabStop = true}, x, y, w,
                 h);
}

constexpr ControlTemplate numberField(int id, std::string_view text, std::size_t limit, int x,
                                      int y, int w, int h) {
    return place({.id = id,
                  .kind = ControlKind::NumberField,
                  .text = text,
                  .tabStop = true,
                  .textLimit = limit,
                  .digitsOnly = true},
                 x, y, w, h);
}

constexpr ControlTemplate textField(int id, std::string_view text, std::size_t limit, int x, int y,
                                    int w, int h) {
    return place({.id = id,
                  .kind = ControlKind::TextField,
                  .text = text,
                  .tabStop = true,
                  .textLimit = limit},
                 x, y, w, h);
}

constexpr ControlTemplate list(int id, int x, int y, int w, int h) {
    return place({.id = id,
                  .kind = ControlKind::List,
                  .text = {},
                  .tabStop = true,
                  .alignment = TextAlignment::Left},
                 x, y, w, h);
}

constexpr ControlTemplate label(int id, std::string_view text, int x, int y, int w, int h) {
    return place({.id = id, .kind = ControlKind::Label, .text = text}, x, y, w, h);
}

constexpr ControlTemplate groupBox(int id, std::string_view text, int x, int y, int w, int h) {
    return place(
        {.id = id, .kind = ControlKind::GroupBox, .text = text, .alignment = TextAlignment::Left},
        x, y, w, h);
}

constexpr ControlTemplate centredGroupBox(int id, std::string_view text, int x, int y, int w,
                                          int h) {
    return place({.id = id, .kind = ControlKind::CentredGroupBox, .text = text}, x, y, w, h);
}

// The channel table takes the tab stop, the terminal pane does not: it is
// output only, though it stays editable.
enum class Tab { Stop, Skip };

constexpr ControlTemplate multiLineField(int id, Tab tab, int x, int y, int w, int h) {
    return place({.id = id,
                  .kind = ControlKind::MultiLineField,
                  .text = {},
                  .tabStop = tab == Tab::Stop,
                  .alignment = TextAlignment::Left,
                  .fixedPitchFont = true},
                 x, y, w, h);
}

constexpr ControlTemplate powerSupplyButton() {
    ControlTemplate c = button(ids::powerSupplyButton, "Питание", 522, 328, 42, 14);
    c.multiLineCaption = true;
    return c;
}

constexpr ControlTemplate helpLabel() {
    return place({.id = 4072,
                  .kind = ControlKind::LeftLabel,
                  .text = "01-r155.225-t155.225s0330pHi\r\n"
                          "01-номер канала\r\n"
                          "-r155.225 - частота приёма\r\n"
                          "-t155.225 - частота передачи\r\n"
                          "s0330 - порог срабатывания RSSI для индикации и перехода на др. канал "
                          "в адаптивном режиме (0-1000)\r\n"
                          "pHi - уровень мощности\r\n"
                          "(Hi) - максимальный\r\n"
                          "(Lo) - пониженный\r",
                  .alignment = TextAlignment::Left},
                 // 100 units wide, Arial 8 pt breaks the text into 12 lines of
                 // which 11 fit; 104 (the frame's width less 4 a side) gives 11.
                 4, 64, 104, 88);
}

constexpr std::string_view pathTemplate = "01-02-03-04-05-06-07-08";
constexpr std::size_t pathLimit = pathTemplate.size();

// Template order: the dialog manager creates the controls in this order and
// tabs through them in it.
constexpr std::array controls{
    numberField(ids::vhfToneField, "1000", 4, 330, 302, 42, 12),
    multiLineField(ids::channelTable, Tab::Stop, 114, 52, 136, 132),
    button(ids::connectButton, "Connect", 536, 58, 42, 15),
    button(ids::readSettingsButton, "Считать", 532, 102, 46, 15),
    button(ids::writeSettingsButton, "Настроить", 532, 162, 46, 15),
    button(ids::storeProfileButton, "Сохранить", 532, 182, 46, 15),
    button(ids::openFileButton, "Открыть", 536, 14, 42, 15),
    button(ids::saveFileButton, "Сохранить", 536, 34, 42, 15),
    button(ids::modemTestButton, "Тест", 522, 288, 42, 14),
    button(ids::vhfRssiButton, "RSSI УКВ", 330, 320, 42, 14),
    list(ids::vhfTestChannelList, 330, 266, 42, 232),
    button(ids::vhfChannelButton, "Канал УКВ", 282, 266, 42, 14),
    button(ids::vhfToneButton, "Ген. SIN, Гц", 282, 302, 42, 14),
    button(ids::vhfReceiveButton, "ПРМ", 282, 320, 42, 14),
    button(ids::vhfTransmitButton, "ПРД", 282, 284, 42, 14),
    multiLineField(ids::terminalPane, Tab::Skip, 252, 52, 276, 198),
    button(ids::firmwareVersionButton, "Версия ПО", 522, 308, 42, 14),
    button(ids::checkButton, "Проверить", 532, 142, 46, 15),
    numberField(ids::wtField, "250", 3, 162, 276, 36, 12),
    label(4032, "Время ожидания ответа, мс", 110, 264, 140, 8),
    textField(ids::oddPathField, pathTemplate, pathLimit, 134, 304, 92, 12),
    textField(ids::evenPathField, pathTemplate, pathLimit, 134, 330, 92, 12),
    label(4035, "Список каналов для нечётного пути", 110, 294, 140, 8),
    label(4036, "Список каналов для чётного пути", 110, 320, 140, 8),
    label(4037, "Количество повторов", 110, 236, 140, 8),
    numberField(ids::repField, "0", 1, 168, 246, 24, 12),
    list(ids::vp1List, 16, 20, 44, 64),
    list(ids::vp3List, 124, 20, 44, 64),
    list(ids::mpList, 492, 12, 32, 64),
    list(ids::vp2List, 72, 20, 44, 64),
    numberField(ids::htField, "100", 3, 162, 218, 36, 12),
    label(4048, "Время действия помехи, мс", 110, 206, 140, 8),
    list(ids::psList, 40, 216, 28, 48),
    label(4052, "Размер пакета", 8, 204, 84, 8),
    button(ids::copyReportButton, "Скопир.", 532, 122, 46, 15),
    button(ids::vhfVswrButton, "КСВ", 330, 284, 42, 14),
    powerSupplyButton(),
    list(ids::vp4List, 180, 20, 44, 64),
    textField(ids::idTx1Field, "101", 0, 396, 16, 44, 12),
    label(4058, "ID-Tx", 400, 8, 38, 8),
    list(ids::idbList, 444, 24, 36, 60),
    textField(ids::idRx1Field, "100", 0, 348, 16, 44, 12),
    label(4063, "ID-Rx", 352, 8, 40, 8),
    groupBox(4050, "Настройки адаптивности", 114, 194, 136, 158),
    label(4065, "Настройка каналов УКВ", 112, 40, 140, 8),
    label(4069, "Настройки радиомодема", 532, 80, 50, 18),
    label(4070, "Проверка радиомодема", 518, 264, 52, 18),
    helpLabel(),
    label(4073, "Скорость данных", 8, 228, 84, 8),
    list(ids::modList, 36, 240, 36, 64),
    list(ids::profileList, 544, 216, 28, 48),
    label(4076, "Профиль №", 534, 202, 44, 10),
    list(ids::vmodeList, 24, 172, 62, 66),
    list(ids::gchList, 22, 296, 62, 48),
    label(4085, "Канал", 8, 286, 86, 8),
    button(ids::mfChannelButton, "Канал ГМВ", 406, 266, 42, 14),
    // As wide as 4006, which holds the same items: at 42 units "1-2.130 MHz"
    // showed as "1-2.13".
    list(ids::mfTestChannelList, 454, 266, 62, 50),
    label(4068, "Проверка МВ", 280, 254, 94, 8),
    label(4086, "Проверка ГМВ", 404, 254, 94, 8),
    numberField(ids::mfToneField, "1000", 4, 454, 302, 42, 12),
    button(ids::mfRssiButton, "RSSI ГМВ", 454, 320, 42, 14),
    button(ids::mfToneButton, "Ген. SIN, Гц", 406, 302, 42, 14),
    button(ids::mfReceiveButton, "ПРМ", 406, 320, 42, 14),
    button(ids::mfTransmitButton, "ПРД", 406, 284, 42, 14),
    button(ids::mfVswrButton, "КСВ", 454, 284, 42, 14),
    list(ids::gpwrList, 22, 320, 62, 48),
    label(4096, "Мощность ГМВ", 12, 310, 86, 8),
    button(ids::vhfReducedPowerButton, "Мощ.сниж.", 330, 338, 42, 14),
    button(ids::vhfNormalPowerButton, "Мощ.норм.", 282, 338, 42, 14),
    button(ids::mfReducedPowerButton, "Мощ.сниж.", 454, 338, 42, 14),
    button(ids::mfNormalPowerButton, "Мощ.норм.", 406, 338, 42, 14),
    groupBox(4066, "Настройка скоростей интерфейсов", 8, 0, 228, 40),
    groupBox(4101, "CAN", 328, 0, 158, 44),
    groupBox(4103, "Файл", 532, 2, 50, 52),
    centredGroupBox(4067, "Настройки ЗУЛК", 12, 192, 78, 62),
    label(4018, "P1-RS232", 20, 8, 36, 10),
    label(4102, "P2-RS232", 72, 8, 36, 10),
    label(4104, "P3-RS485", 128, 8, 36, 10),
    label(4105, "P4-CAN", 180, 8, 36, 10),
    label(4012, "Режим МВ", 8, 164, 94, 8),
    list(ids::gmodeList, 22, 272, 62, 66),
    centredGroupBox(4081, "Режимы ГМВ", 12, 260, 78, 90),
    label(4043, "Порт УКВ", 488, 0, 40, 8),
    label(4045, "Порт ГМВ", 488, 24, 40, 8),
    list(ids::mp2List, 492, 36, 32, 64),
    // The template text is longer than the limit; the first display of the
    // settings replaces it.
    numberField(ids::grssiField, "1000", 3, 48, 338, 36, 10),
    label(4108, "RSSI", 20, 338, 24, 8),
    textField(ids::idTx2Field, "201", 0, 396, 28, 44, 12),
    textField(ids::idRx2Field, "200", 0, 348, 28, 44, 12),
    label(4062, "УКВ", 332, 20, 16, 8),
    label(4111, "ГМВ", 332, 32, 16, 8),
    label(4112, "ID-bit", 444, 12, 34, 8),
    button(ids::readProfileButton, "Считать ", 532, 232, 46, 15),
    label(4113, "Задержка ответа по RS485 в мс", 252, 4, 60, 16),
    textField(ids::rsdlyField, "20", 3, 260, 24, 44, 12),
    groupBox(4115, "Пример настройки канала УКВ", 0, 52, 112, 104),
};

static_assert(controls.size() == 96);

std::vector<std::string> testChannelItems() {
    std::vector<std::string> items;
    for (unsigned n = 1; n <= 16; ++n) {
        char text[8];
        std::snprintf(text, sizeof text, "Ch%02u", n);
        items.emplace_back(text);
    }
    return items;
}

std::vector<ListTemplate> makeLists() {
    const std::vector<std::string> serialSpeeds{"9600", "19200", "57600", "115200"};
    const std::vector<std::string> ports{"P1", "P2", "P3", "P4", "USB"};
    const std::vector<std::string> mfChannels{"0-2.140 MHz", "1-2.130 MHz", "2-2.150 MHz"};
    return {
        {ids::vhfTestChannelList, testChannelItems(), 0},
        {ids::vp1List, serialSpeeds, -1},
        {ids::vp2List, serialSpeeds, -1},
        {ids::vp3List, serialSpeeds, -1},
        {ids::vp4List, {"20k", "25k", "50k", "100k", "125k", "250k", "500k", "1.0M"}, -1},
        {ids::idbList, {"11-bit", "29-bit"}, -1},
        {ids::mpList, ports, -1},
        {ids::mp2List, ports, -1},
        {ids::modList, {"норм", "  1/2"}, -1},
        {ids::profileList, {"0", "1"}, 0},
        {ids::psList, {"08", "20"}, -1},
        {ids::gpwrList, {"Нормальная", "Пониженная"}, -1},
        {ids::gchList, mfChannels, -1},
        {ids::mfTestChannelList, mfChannels, 1},
        {ids::vmodeList,
         {" ЗУЛК", " ГРЕН-9.6", " ГРЕН-пак8б", " CQPSK-10.4", " CQPSK-2.6", " CQPSK-5.2"},
         -1},
        {ids::gmodeList, {" ЮНР", " ЗУЛК", " CQPSK-10.4", " CQPSK-2.6", " шурн", " CQPSK-5.2"}, -1},
    };
}

}  // namespace

std::span<const ControlTemplate> dialogControls() {
    return controls;
}

const ControlTemplate* findControl(int id) {
    const auto it =
        std::find_if(controls.begin(), controls.end(), [id](const auto& c) { return c.id == id; });
    return it == controls.end() ? nullptr : &*it;
}

std::span<const ListTemplate> dialogLists() {
    // Built once and never changed afterwards, like the lists themselves.
    static const std::vector<ListTemplate> lists = makeLists();
    return lists;
}

const ListTemplate* findList(int id) {
    const auto lists = dialogLists();
    const auto it =
        std::find_if(lists.begin(), lists.end(), [id](const auto& l) { return l.id == id; });
    return it == lists.end() ? nullptr : &*it;
}

std::size_t textLimit(int id) {
    const ControlTemplate* c = findControl(id);
    return c == nullptr ? 0 : c->textLimit;
}

bool isDigitsOnly(int id) {
    const ControlTemplate* c = findControl(id);
    return c != nullptr && c->digitsOnly;
}

DialogTemplate dialogTemplate() {
    return {
        .caption = "   Программа настройки и тестирования параметров работы радиомодема ЗУЛК TARNO",
        .windowClass = "firstClass",
        .x = 6,
        .y = 18,
        .width = 584,
        .height = 354,
        .fontFace = "Arial",
        .pointSize = 8,
        .iconId = ids::icon,
        // A button, not a field: a key pressed before anything else changes
        // no setting.
        .firstFocus = ids::connectButton,
    };
}

FontTemplate fixedPitchFont() {
    return {.face = "Courier New", .height = 14, .weight = 400};
}

}  // namespace modem
