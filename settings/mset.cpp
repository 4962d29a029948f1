#include "settings/mset.h"

#include "settings/byte_order.h"

namespace modem {

namespace {

constexpr std::array<std::uint32_t, channelCount> defaultFrequencies{
    155225, 155075, 155275, 155125, 155100, 155200, 155150, 155250,
    155375, 155025, 155425, 155175, 155325, 155450, 155350, 155475};

}  // namespace

void setDefaults(Mset& m) {
    for (std::size_t i = 0; i < channelCount; ++i) {
        m.CH[i] = ChannelEntry{defaultFrequencies[i], defaultFrequencies[i], 330, 10};
    }
    m.VP1 = m.VP2 = m.VP3 = 9600;
    m.VP4 = 25000;
    m.IDB = 11;
    m.IDRX1 = 0x100;
    m.IDTX1 = 0x101;
    m.IDRX2 = 0x200;
    m.IDTX2 = 0x201;
    m.MP = m.MP2 = 0;
    m.CHS1 = 3;
    m.CHL1 = 0x02400000;
    m.CHS2 = 3;
    m.CHL2 = 0x13500000;
    m.HT = 100;
    m.WT = 300;
    m.REP = 0;
    m.GPWR = 1;
    m.GCH = 1;
    m.MOD = 0;
    m.PS = 20;
    m.GRSSI = 350;
    m.BAND = m.VMODE = m.GMODE = 0;
    m.RSDLY = 20;
    m.MARK = 0x1234;
}

Mset defaultSettings() {
    Mset m;
    setDefaults(m);
    return m;
}

MsetImage toImage(const Mset& m) {
    MsetImage img{};
    std::span<std::uint8_t> b{img};
    for (std::size_t i = 0; i < channelCount; ++i) {
        const std::size_t row = offsets::CH + i * offsets::channelSize;
        putU32(b, row + offsets::RXF, m.CH[i].RXF);
        putU32(b, row + offsets::TXF, m.CH[i].TXF);
        putU16(b, row + offsets::THR, m.CH[i].THR);
        putU16(b, row + offsets::PWR, m.CH[i].PWR);
    }
    putU32(b, offsets::VP1, m.VP1);
    putU32(b, offsets::VP2, m.VP2);
    putU32(b, offsets::VP3, m.VP3);
    putU32(b, offsets::VP4, m.VP4);
    putU16(b, offsets::IDB, m.IDB);
    putU32(b, offsets::IDRX1, m.IDRX1);
    putU32(b, offsets::IDTX1, m.IDTX1);
    putU32(b, offsets::IDRX2, m.IDRX2);
    putU32(b, offsets::IDTX2, m.IDTX2);
    putU8(b, offsets::MP, m.MP);
    putU8(b, offsets::MP2, m.MP2);
    putU16(b, offsets::CHS1, m.CHS1);
    putU32(b, offsets::CHL1, m.CHL1);
    putU16(b, offsets::CHS2, m.CHS2);
    putU32(b, offsets::CHL2, m.CHL2);
    putU16(b, offsets::HT, m.HT);
    putU16(b, offsets::WT, m.WT);
    putU8(b, offsets::REP, m.REP);
    putU8(b, offsets::GPWR, m.GPWR);
    putU8(b, offsets::GCH, m.GCH);
    putU8(b, offsets::MOD, m.MOD);
    putU8(b, offsets::PS, m.PS);
    putU16(b, offsets::GRSSI, m.GRSSI);
    putU8(b, offsets::BAND, m.BAND);
    putU8(b, offsets::VMODE, m.VMODE);
    putU8(b, offsets::GMODE, m.GMODE);
    putU8(b, offsets::RSDLY, m.RSDLY);
    putU32(b, offsets::MARK, m.MARK);
    for (std::size_t i = 0; i < offsets::reserved.size(); ++i) {
        putU8(b, offsets::reserved[i], m.reserved[i]);
    }
    return img;
}

Mset fromImage(std::span<const std::uint8_t, msetsize> image) {
    const std::span<const std::uint8_t> b{image};
    Mset m;
    for (std::size_t i = 0; i < channelCount; ++i) {
        const std::size_t row = offsets::CH + i * offsets::channelSize;
        m.CH[i].RXF = getU32(b, row + offsets::RXF);
        m.CH[i].TXF = getU32(b, row + offsets::TXF);
        m.CH[i].THR = getU16(b, row + offsets::THR);
        m.CH[i].PWR = getU16(b, row + offsets::PWR);
    }
    m.VP1 = getU32(b, offsets::VP1);
    m.VP2 = getU32(b, offsets::VP2);
    m.VP3 = getU32(b, offsets::VP3);
    m.VP4 = getU32(b, offsets::VP4);
    m.IDB = getU16(b, offsets::IDB);
    m.IDRX1 = getU32(b, offsets::IDRX1);
    m.IDTX1 = getU32(b, offsets::IDTX1);
    m.IDRX2 = getU32(b, offsets::IDRX2);
    m.IDTX2 = getU32(b, offsets::IDTX2);
    m.MP = getU8(b, offsets::MP);
    m.MP2 = getU8(b, offsets::MP2);
    m.CHS1 = getU16(b, offsets::CHS1);
    m.CHL1 = getU32(b, offsets::CHL1);
    m.CHS2 = getU16(b, offsets::CHS2);
    m.CHL2 = getU32(b, offsets::CHL2);
    m.HT = getU16(b, offsets::HT);
    m.WT = getU16(b, offsets::WT);
    m.REP = getU8(b, offsets::REP);
    m.GPWR = getU8(b, offsets::GPWR);
    m.GCH = getU8(b, offsets::GCH);
    m.MOD = getU8(b, offsets::MOD);
    m.PS = getU8(b, offsets::PS);
    m.GRSSI = getU16(b, offsets::GRSSI);
    m.BAND = getU8(b, offsets::BAND);
    m.VMODE = getU8(b, offsets::VMODE);
    m.GMODE = getU8(b, offsets::GMODE);
    m.RSDLY = getU8(b, offsets::RSDLY);
    m.MARK = getU32(b, offsets::MARK);
    for (std::size_t i = 0; i < offsets::reserved.size(); ++i) {
        m.reserved[i] = getU8(b, offsets::reserved[i]);
    }
    return m;
}

}  // namespace modem
