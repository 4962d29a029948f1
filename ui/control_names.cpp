#include "ui/control_names.h"

#include <algorithm>
#include <array>
#include <vector>

#include "ui/control_table.h"

namespace modem {

namespace {

// Template order, as the control table. Rows with an empty name are the
// connection button, whose caption changes with the link, and the labels and
// frames, which are named by what they show.
constexpr std::array names{
    ControlName{ids::vhfToneField, "Проверка МВ: частота генератора, Гц",
                "Частота тона для «Ген. SIN, Гц», от 0 до 9999 Гц"},
    ControlName{ids::channelTable, "Настройка каналов УКВ: таблица",
                "Шестнадцать строк, по одной на канал, вида 01-r155.225-t155.225s0330pHi"},
    ControlName{ids::connectButton, {}, "Подключение к радиомодему и отключение от него"},
    ControlName{ids::readSettingsButton, "Настройки радиомодема: Считать",
                "Запросить у радиомодема отчёт о текущих настройках"},
    ControlName{ids::writeSettingsButton, "Настроить", "Записать настройки формы в радиомодем"},
    ControlName{ids::storeProfileButton, "Настройки радиомодема: Сохранить",
                "Сохранить настройки в радиомодеме, в выбранном профиле"},
    ControlName{ids::openFileButton, "Файл: Открыть", "Загрузить настройки из файла .cfg"},
    ControlName{ids::saveFileButton, "Файл: Сохранить", "Сохранить настройки в файл .cfg"},
    ControlName{ids::modemTestButton, "Тест", "Тест радиомодема"},
    ControlName{ids::vhfRssiButton, "RSSI УКВ", "Уровень принимаемого сигнала УКВ"},
    ControlName{ids::vhfTestChannelList, "Проверка МВ: канал",
                "Канал для «Канал УКВ», от Ch01 до Ch16"},
    ControlName{ids::vhfChannelButton, "Канал УКВ", "Переключить УКВ на выбранный канал"},
    ControlName{ids::vhfToneButton, "Проверка МВ: Ген. SIN, Гц",
                "Генератор синусоидального тона УКВ с заданной частотой"},
    ControlName{ids::vhfReceiveButton, "Проверка МВ: ПРМ", "Проверка приёмника УКВ"},
    ControlName{ids::vhfTransmitButton, "Проверка МВ: ПРД", "Проверка передатчика УКВ"},
    ControlName{ids::terminalPane, "Окно терминала",
                "Всё, что принято от радиомодема, и строки состояния связи"},
    ControlName{ids::firmwareVersionButton, "Версия ПО",
                "Версия программного обеспечения радиомодема"},
    ControlName{ids::checkButton, "Проверить",
                "Проверить форму и привести её значения к допустимым"},
    ControlName{ids::wtField, "Настройки адаптивности: Время ожидания ответа, мс", {}},
    ControlName{4032, {}, {}},
    ControlName{ids::oddPathField, "Настройки адаптивности: Список каналов для нечётного пути",
                "До восьми номеров каналов через дефис, например 01-02-03"},
    ControlName{ids::evenPathField, "Настройки адаптивности: Список каналов для чётного пути",
                "До восьми номеров каналов через дефис, например 01-02-03"},
    ControlName{4035, {}, {}},
    ControlName{4036, {}, {}},
    ControlName{4037, {}, {}},
    ControlName{ids::repField, "Настройки адаптивности: Количество повторов", "Одна цифра"},
    ControlName{ids::vp1List, "Настройка скоростей интерфейсов: P1-RS232", "Скорость, бит/с"},
    ControlName{ids::vp3List, "Настройка скоростей интерфейсов: P3-RS485", "Скорость, бит/с"},
    ControlName{ids::mpList, "Порт УКВ: значение", "Интерфейс, через который работает УКВ"},
    ControlName{ids::vp2List, "Настройка скоростей интерфейсов: P2-RS232", "Скорость, бит/с"},
    ControlName{ids::htField, "Настройки адаптивности: Время действия помехи, мс", {}},
    ControlName{4048, {}, {}},
    ControlName{ids::psList, "Настройки ЗУЛК: Размер пакета", {}},
    ControlName{4052, {}, {}},
    ControlName{ids::copyReportButton, "Скопир.",
                "Скопировать отчёт радиомодема из окна терминала в форму"},
    ControlName{ids::vhfVswrButton, "Проверка МВ: КСВ", "Коэффициент стоячей волны УКВ"},
    ControlName{ids::powerSupplyButton, "Питание", "Напряжение питания радиомодема"},
    ControlName{ids::vp4List, "Настройка скоростей интерфейсов: P4-CAN", "Скорость шины CAN"},
    ControlName{ids::idTx1Field, "CAN: УКВ ID-Tx", "Идентификатор CAN, шестнадцатеричный"},
    ControlName{4058, {}, {}},
    ControlName{ids::idbList, "CAN: ID-bit", "Разрядность идентификаторов CAN"},
    ControlName{ids::idRx1Field, "CAN: УКВ ID-Rx", "Идентификатор CAN, шестнадцатеричный"},
    ControlName{4063, {}, {}},
    ControlName{4050, {}, {}},
    ControlName{4065, {}, {}},
    ControlName{4069, {}, {}},
    ControlName{4070, {}, {}},
    ControlName{4072, {}, {}},
    ControlName{4073, {}, {}},
    ControlName{ids::modList, "Настройки ЗУЛК: Скорость данных", {}},
    ControlName{ids::profileList, "Настройки радиомодема: Профиль №",
                "Профиль для «Сохранить» и «Считать»"},
    ControlName{4076, {}, {}},
    ControlName{ids::vmodeList, "Режим МВ: значение", {}},
    ControlName{ids::gchList, "Режимы ГМВ: Канал", {}},
    ControlName{4085, {}, {}},
    ControlName{ids::mfChannelButton, "Канал ГМВ", "Переключить ГМВ на выбранный канал"},
    ControlName{ids::mfTestChannelList, "Проверка ГМВ: канал", "Канал для «Канал ГМВ»"},
    ControlName{4068, {}, {}},
    ControlName{4086, {}, {}},
    ControlName{ids::mfToneField, "Проверка ГМВ: частота генератора, Гц",
                "Частота тона для «Ген. SIN, Гц», от 0 до 9999 Гц"},
    ControlName{ids::mfRssiButton, "RSSI ГМВ", "Уровень принимаемого сигнала ГМВ"},
    ControlName{ids::mfToneButton, "Проверка ГМВ: Ген. SIN, Гц",
                "Генератор синусоидального тона ГМВ с заданной частотой"},
    ControlName{ids::mfReceiveButton, "Проверка ГМВ: ПРМ", "Проверка приёмника ГМВ"},
    ControlName{ids::mfTransmitButton, "Проверка ГМВ: ПРД", "Проверка передатчика ГМВ"},
    ControlName{ids::mfVswrButton, "Проверка ГМВ: КСВ", "Коэффициент стоячей волны ГМВ"},
    ControlName{ids::gpwrList, "Режимы ГМВ: Мощность ГМВ", {}},
    ControlName{4096, {}, {}},
    ControlName{ids::vhfReducedPowerButton, "Проверка МВ: Мощ.сниж.",
                "Пониженная мощность передатчика УКВ"},
    ControlName{ids::vhfNormalPowerButton, "Проверка МВ: Мощ.норм.",
                "Нормальная мощность передатчика УКВ"},
    ControlName{ids::mfReducedPowerButton, "Проверка ГМВ: Мощ.сниж.",
                "Пониженная мощность передатчика ГМВ"},
    ControlName{ids::mfNormalPowerButton, "Проверка ГМВ: Мощ.норм.",
                "Нормальная мощность передатчика ГМВ"},
    ControlName{4066, {}, {}},
    ControlName{4101, {}, {}},
    ControlName{4103, {}, {}},
    ControlName{4067, {}, {}},
    ControlName{4018, {}, {}},
    ControlName{4102, {}, {}},
    ControlName{4104, {}, {}},
    ControlName{4105, {}, {}},
    ControlName{4012, {}, {}},
    // The frame "Режимы ГМВ" is this list's only caption.
    ControlName{ids::gmodeList, "Режимы ГМВ: режим", {}},
    ControlName{4081, {}, {}},
    ControlName{4043, {}, {}},
    ControlName{4045, {}, {}},
    ControlName{ids::mp2List, "Порт ГМВ: значение", "Интерфейс, через который работает ГМВ"},
    ControlName{ids::grssiField, "Режимы ГМВ: RSSI", "Порог RSSI ГМВ"},
    ControlName{4108, {}, {}},
    ControlName{ids::idTx2Field, "CAN: ГМВ ID-Tx", "Идентификатор CAN, шестнадцатеричный"},
    ControlName{ids::idRx2Field, "CAN: ГМВ ID-Rx", "Идентификатор CAN, шестнадцатеричный"},
    ControlName{4062, {}, {}},
    ControlName{4111, {}, {}},
    ControlName{4112, {}, {}},
    ControlName{ids::readProfileButton, "Профиль №: Считать",
                "Запросить у радиомодема настройки выбранного профиля"},
    ControlName{4113, {}, {}},
    ControlName{ids::rsdlyField, "Задержка ответа по RS485 в мс: значение", {}},
    ControlName{4115, {}, {}},
};

static_assert(names.size() == 96);

}  // namespace

std::span<const ControlName> controlNames(Language language) {
    if (language == Language::Russian) {
        return names;
    }
    static const std::vector<ControlName> english = [] {
        std::vector<ControlName> copy(names.begin(), names.end());
        for (ControlName& row : copy) {
            row.name = localised(row.name, Language::English);
            row.description = localised(row.description, Language::English);
        }
        return copy;
    }();
    return english;
}

const ControlName* findControlName(int id, Language language) {
    const auto rows = controlNames(language);
    const auto it =
        std::find_if(rows.begin(), rows.end(), [id](const auto& n) { return n.id == id; });
    return it == rows.end() ? nullptr : &*it;
}

std::string_view accessibleName(int id, Language language) {
    const ControlName* row = findControlName(id, language);
    if (row == nullptr) {
        return {};
    }
    if (!row->name.empty()) {
        return row->name;
    }
    const ControlTemplate* control = findControl(id);
    return control == nullptr ? std::string_view{} : localised(control->text, language);
}

}  // namespace modem
