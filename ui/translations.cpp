#include "ui/translations.h"

#include <algorithm>
#include <array>

namespace modem {

namespace {

// Radio terms as radio operators write them: Tx, Rx, SWR, RSSI; VHF for
// "УКВ"/"МВ", MF for "ГМВ". Button captions are short enough for the buttons.
constexpr std::array table{
    // The window.
    Translation{"   Программа настройки и тестирования параметров работы радиомодема ЗУЛК TARNO",
                "   ZULK TARNO radio modem: settings and tests"},

    // Buttons.
    Translation{"Считать", "Read"},
    Translation{"Считать ", "Read "},
    Translation{"Настроить", "Write"},
    Translation{"Сохранить", "Save"},
    Translation{"Открыть", "Open"},
    Translation{"Тест", "Test"},
    Translation{"RSSI УКВ", "VHF RSSI"},
    Translation{"RSSI ГМВ", "MF RSSI"},
    Translation{"Канал УКВ", "VHF chan."},
    Translation{"Канал ГМВ", "MF chan."},
    Translation{"Ген. SIN, Гц", "Sine gen., Hz"},
    Translation{"ПРМ", "Rx"},
    Translation{"ПРД", "Tx"},
    Translation{"КСВ", "SWR"},
    Translation{"Версия ПО", "Firmware"},
    Translation{"Проверить", "Check"},
    Translation{"Скопир.", "Copy"},
    Translation{"Питание", "Supply"},
    Translation{"Мощ.норм.", "Norm. pwr"},
    Translation{"Мощ.сниж.", "Low pwr"},

    // Labels, headings and frames.
    Translation{"Время ожидания ответа, мс", "Reply timeout, ms"},
    Translation{"Список каналов для нечётного пути", "Odd path channels"},
    Translation{"Список каналов для чётного пути", "Even path channels"},
    Translation{"Количество повторов", "Repeats"},
    Translation{"Время действия помехи, мс", "Interference time, ms"},
    Translation{"Размер пакета", "Packet size"},
    Translation{"Настройки адаптивности", "Adaptive mode"},
    Translation{"Настройка каналов УКВ", "VHF channels"},
    Translation{"Настройки радиомодема", "Modem settings"},
    Translation{"Проверка радиомодема", "Modem tests"},
    Translation{"Скорость данных", "Data rate"},
    Translation{"Профиль №", "Profile"},
    Translation{"Канал", "Channel"},
    Translation{"Проверка МВ", "VHF tests"},
    Translation{"Проверка ГМВ", "MF tests"},
    Translation{"Мощность ГМВ", "MF power"},
    Translation{"Настройка скоростей интерфейсов", "Interface speeds"},
    Translation{"Файл", "File"},
    Translation{"Настройки ЗУЛК", "ZULK settings"},
    Translation{"Режим МВ", "VHF mode"},
    Translation{"Режимы ГМВ", "MF modes"},
    Translation{"Порт УКВ", "VHF port"},
    Translation{"Порт ГМВ", "MF port"},
    Translation{"УКВ", "VHF"},
    Translation{"ГМВ", "MF"},
    Translation{"Задержка ответа по RS485 в мс", "RS485 reply delay, ms"},
    Translation{"Пример настройки канала УКВ", "VHF channel example"},
    Translation{"01-r155.225-t155.225s0330pHi\r\n"
                "01-номер канала\r\n"
                "-r155.225 - частота приёма\r\n"
                "-t155.225 - частота передачи\r\n"
                "s0330 - порог срабатывания RSSI для индикации и перехода на др. канал "
                "в адаптивном режиме (0-1000)\r\n"
                "pHi - уровень мощности\r\n"
                "(Hi) - максимальный\r\n"
                "(Lo) - пониженный\r",
                "01-r155.225-t155.225s0330pHi\r\n"
                "01 - channel number\r\n"
                "-r155.225 - Rx frequency\r\n"
                "-t155.225 - Tx frequency\r\n"
                "s0330 - RSSI threshold (0-1000) for the indicator and for a change of "
                "channel in adaptive mode\r\n"
                "pHi - power level\r\n"
                "(Hi) - maximum\r\n"
                "(Lo) - reduced\r"},

    // List items.
    Translation{"норм", "norm"},
    Translation{"Нормальная", "Normal"},
    Translation{"Пониженная", "Reduced"},
    Translation{" ЗУЛК", " ZULK"},
    Translation{" ГРЕН-9.6", " GREN-9.6"},
    Translation{" ГРЕН-пак8б", " GREN-pkt8b"},
    Translation{" ЮНР", " YUNR"},
    Translation{" шурн", " SHURN"},

    // Accessible names and descriptions.
    Translation{"Проверка МВ: частота генератора, Гц", "VHF tests: tone frequency, Hz"},
    Translation{"Проверка ГМВ: частота генератора, Гц", "MF tests: tone frequency, Hz"},
    Translation{"Частота тона для «Ген. SIN, Гц», от 0 до 9999 Гц",
                "Tone frequency for \"Sine gen., Hz\", 0 to 9999 Hz"},
    Translation{"Настройка каналов УКВ: таблица", "VHF channels: table"},
    Translation{"Шестнадцать строк, по одной на канал, вида 01-r155.225-t155.225s0330pHi",
                "Sixteen lines, one per channel, such as 01-r155.225-t155.225s0330pHi"},
    Translation{"Подключение к радиомодему и отключение от него",
                "Connect to the radio modem and disconnect from it"},
    Translation{"Настройки радиомодема: Считать", "Modem settings: Read"},
    Translation{"Запросить у радиомодема отчёт о текущих настройках",
                "Ask the modem for a report of its current settings"},
    Translation{"Записать настройки формы в радиомодем", "Write the form's settings to the modem"},
    Translation{"Настройки радиомодема: Сохранить", "Modem settings: Save"},
    Translation{"Сохранить настройки в радиомодеме, в выбранном профиле",
                "Store the settings in the modem, in the chosen profile"},
    Translation{"Файл: Открыть", "File: Open"},
    Translation{"Загрузить настройки из файла .cfg", "Load settings from a .cfg file"},
    Translation{"Файл: Сохранить", "File: Save"},
    Translation{"Сохранить настройки в файл .cfg", "Save the settings to a .cfg file"},
    Translation{"Тест радиомодема", "The modem's self-test"},
    Translation{"Уровень принимаемого сигнала УКВ", "VHF received signal level"},
    Translation{"Уровень принимаемого сигнала ГМВ", "MF received signal level"},
    Translation{"Проверка МВ: канал", "VHF tests: channel"},
    Translation{"Проверка ГМВ: канал", "MF tests: channel"},
    Translation{"Канал для «Канал УКВ», от Ch01 до Ch16",
                "Channel for \"VHF chan.\", Ch01 to Ch16"},
    Translation{"Канал для «Канал ГМВ»", "Channel for \"MF chan.\""},
    Translation{"Переключить УКВ на выбранный канал", "Switch the VHF radio to the chosen channel"},
    Translation{"Переключить ГМВ на выбранный канал", "Switch the MF radio to the chosen channel"},
    Translation{"Проверка МВ: Ген. SIN, Гц", "VHF tests: Sine gen., Hz"},
    Translation{"Проверка ГМВ: Ген. SIN, Гц", "MF tests: Sine gen., Hz"},
    Translation{"Генератор синусоидального тона УКВ с заданной частотой",
                "VHF sine tone generator at the given frequency"},
    Translation{"Генератор синусоидального тона ГМВ с заданной частотой",
                "MF sine tone generator at the given frequency"},
    Translation{"Проверка МВ: ПРМ", "VHF tests: Rx"},
    Translation{"Проверка ГМВ: ПРМ", "MF tests: Rx"},
    Translation{"Проверка МВ: ПРД", "VHF tests: Tx"},
    Translation{"Проверка ГМВ: ПРД", "MF tests: Tx"},
    Translation{"Проверка приёмника УКВ", "VHF receiver test"},
    Translation{"Проверка приёмника ГМВ", "MF receiver test"},
    Translation{"Проверка передатчика УКВ", "VHF transmitter test"},
    Translation{"Проверка передатчика ГМВ", "MF transmitter test"},
    Translation{"Проверка МВ: КСВ", "VHF tests: SWR"},
    Translation{"Проверка ГМВ: КСВ", "MF tests: SWR"},
    Translation{"Коэффициент стоячей волны УКВ", "VHF standing wave ratio"},
    Translation{"Коэффициент стоячей волны ГМВ", "MF standing wave ratio"},
    Translation{"Проверка МВ: Мощ.норм.", "VHF tests: Norm. pwr"},
    Translation{"Проверка ГМВ: Мощ.норм.", "MF tests: Norm. pwr"},
    Translation{"Проверка МВ: Мощ.сниж.", "VHF tests: Low pwr"},
    Translation{"Проверка ГМВ: Мощ.сниж.", "MF tests: Low pwr"},
    Translation{"Нормальная мощность передатчика УКВ", "Normal VHF transmitter power"},
    Translation{"Нормальная мощность передатчика ГМВ", "Normal MF transmitter power"},
    Translation{"Пониженная мощность передатчика УКВ", "Reduced VHF transmitter power"},
    Translation{"Пониженная мощность передатчика ГМВ", "Reduced MF transmitter power"},
    Translation{"Окно терминала", "Terminal pane"},
    Translation{"Всё, что принято от радиомодема, и строки состояния связи",
                "Everything received from the modem, and the link's status lines"},
    Translation{"Версия программного обеспечения радиомодема", "The modem's firmware version"},
    Translation{"Проверить форму и привести её значения к допустимым",
                "Check the form and bring its values into range"},
    Translation{"Настройки адаптивности: Время ожидания ответа, мс",
                "Adaptive mode: Reply timeout, ms"},
    Translation{"Настройки адаптивности: Время действия помехи, мс",
                "Adaptive mode: Interference time, ms"},
    Translation{"Настройки адаптивности: Количество повторов", "Adaptive mode: Repeats"},
    Translation{"Настройки адаптивности: Список каналов для нечётного пути",
                "Adaptive mode: Odd path channels"},
    Translation{"Настройки адаптивности: Список каналов для чётного пути",
                "Adaptive mode: Even path channels"},
    Translation{"До восьми номеров каналов через дефис, например 01-02-03",
                "Up to eight channel numbers joined by hyphens, such as 01-02-03"},
    Translation{"Одна цифра", "One digit"},
    Translation{"Настройка скоростей интерфейсов: P1-RS232", "Interface speeds: P1-RS232"},
    Translation{"Настройка скоростей интерфейсов: P2-RS232", "Interface speeds: P2-RS232"},
    Translation{"Настройка скоростей интерфейсов: P3-RS485", "Interface speeds: P3-RS485"},
    Translation{"Настройка скоростей интерфейсов: P4-CAN", "Interface speeds: P4-CAN"},
    Translation{"Скорость, бит/с", "Speed, bit/s"},
    Translation{"Скорость шины CAN", "CAN bus bit rate"},
    Translation{"Порт УКВ: значение", "VHF port: value"},
    Translation{"Порт ГМВ: значение", "MF port: value"},
    Translation{"Интерфейс, через который работает УКВ",
                "The interface the VHF radio works through"},
    Translation{"Интерфейс, через который работает ГМВ",
                "The interface the MF radio works through"},
    Translation{"Настройки ЗУЛК: Размер пакета", "ZULK settings: Packet size"},
    Translation{"Настройки ЗУЛК: Скорость данных", "ZULK settings: Data rate"},
    Translation{"Скопировать отчёт радиомодема из окна терминала в форму",
                "Copy the modem's report from the terminal pane into the form"},
    Translation{"Напряжение питания радиомодема", "The modem's supply voltage"},
    Translation{"CAN: УКВ ID-Tx", "CAN: VHF ID-Tx"},
    Translation{"CAN: УКВ ID-Rx", "CAN: VHF ID-Rx"},
    Translation{"CAN: ГМВ ID-Tx", "CAN: MF ID-Tx"},
    Translation{"CAN: ГМВ ID-Rx", "CAN: MF ID-Rx"},
    Translation{"Идентификатор CAN, шестнадцатеричный", "CAN identifier, hexadecimal"},
    Translation{"Разрядность идентификаторов CAN", "Width of the CAN identifiers"},
    Translation{"Настройки радиомодема: Профиль №", "Modem settings: Profile"},
    Translation{"Профиль для «Сохранить» и «Считать»", "Profile for \"Save\" and \"Read\""},
    Translation{"Профиль №: Считать", "Profile: Read"},
    Translation{"Запросить у радиомодема настройки выбранного профиля",
                "Ask the modem for the settings of the chosen profile"},
    Translation{"Режим МВ: значение", "VHF mode: value"},
    Translation{"Режимы ГМВ: Канал", "MF modes: Channel"},
    Translation{"Режимы ГМВ: Мощность ГМВ", "MF modes: MF power"},
    Translation{"Режимы ГМВ: режим", "MF modes: mode"},
    Translation{"Режимы ГМВ: RSSI", "MF modes: RSSI"},
    Translation{"Порог RSSI ГМВ", "MF RSSI threshold"},
    Translation{"Задержка ответа по RS485 в мс: значение", "RS485 reply delay, ms: value"},

    // Message boxes of the actions.
    Translation{"Проверка настроек", "Settings check"},
    Translation{"Отчёт модема", "Modem report"},
    Translation{"Записать эти настройки в модем?", "Write these settings to the modem?"},
    Translation{"Загрузить эти настройки из файла?", "Load these settings from the file?"},
    Translation{"В окне нет отчёта модема — нажмите «Считать» и дождитесь его окончания",
                "The pane holds no modem report — press \"Read\" and wait for it to end"},
    Translation{"Отчёт получен не полностью — дождитесь его окончания или считайте заново",
                "The report is not complete — wait for it to end or read it again"},
    Translation{"Отчёт искажён: в нём лишние или недостающие знаки — считайте настройки заново",
                "The report is damaged: characters are missing or added — read the settings "
                "again"},

    // The checker's words: field names beyond the captions, and what is wrong.
    Translation{"Диапазон", "Band"},
    Translation{"Метка настроек", "Settings mark"},
    Translation{"канал", "channel"},
    Translation{"каналов", "channels"},
    Translation{"строка", "line"},
    Translation{"строк", "lines"},
    Translation{"частота приёма", "Rx frequency"},
    Translation{"частота передачи", "Tx frequency"},
    Translation{"МГц", "MHz"},
    Translation{"больше", "above"},
    Translation{"порог", "threshold"},
    Translation{"уровень мощности", "power level"},
    Translation{"не 10 (Hi) и не 5 (Lo)", "neither 10 (Hi) nor 5 (Lo)"},
    Translation{"нет в списке", "not in the list"},
    Translation{"длина", "length"},
    Translation{"допускается от 1 до 8", "1 to 8 allowed"},
    Translation{"каналы за концом списка из", "channels past the end of a list of"},
    Translation{"не 11 и не 29", "neither 11 nor 29"},
    Translation{"ID-Rx и ID-Tx совпадают", "ID-Rx and ID-Tx are the same"},
    Translation{"пустая строка", "empty line"},
    Translation{"номер канала — должен быть", "channel number — must be"},
    Translation{"перед частотой приёма — «-r»", "before the Rx frequency — \"-r\""},
    Translation{"частота приёма — три цифры, точка, три цифры",
                "Rx frequency — three digits, a point, three digits"},
    Translation{"перед частотой передачи — «-t»", "before the Tx frequency — \"-t\""},
    Translation{"частота передачи — три цифры, точка, три цифры",
                "Tx frequency — three digits, a point, three digits"},
    Translation{"перед порогом — «s»", "before the threshold — \"s\""},
    Translation{"порог — четыре цифры", "threshold — four digits"},
    Translation{"перед мощностью — «p»", "before the power — \"p\""},
    Translation{"мощность — Hi или Lo", "power — Hi or Lo"},
    Translation{"лишние знаки в конце строки", "extra characters at the end of the line"},
    Translation{"нужно 16", "16 needed"},
    Translation{"пусто", "empty"},
    Translation{"не больше 8", "8 at most"},
    Translation{"пропущен номер канала", "a channel number is missing"},
    Translation{"номер канала двумя цифрами", "a channel number has two digits"},
    Translation{"нет такого (01–16)", "no such channel (01–16)"},
    Translation{"только цифры", "digits only"},
    Translation{"только шестнадцатеричные цифры", "hexadecimal digits only"},
    Translation{"ничего не выбрано", "nothing selected"},
    Translation{"должна быть 0x1234", "must be 0x1234"},
    Translation{"…и ещё", "…and"},
    Translation{"ошибка", "more"},
    Translation{"ошибок", "more"},
};

}  // namespace

std::span<const Translation> translations() {
    return table;
}

const Translation* findTranslation(std::string_view russian) {
    const auto it = std::find_if(table.begin(), table.end(),
                                 [russian](const Translation& t) { return t.russian == russian; });
    return it == table.end() ? nullptr : &*it;
}

std::string_view localised(std::string_view russian, Language language) {
    if (language == Language::Russian) {
        return russian;
    }
    const Translation* row = findTranslation(russian);
    return row == nullptr ? russian : row->english;
}

}  // namespace modem
