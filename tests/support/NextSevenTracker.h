#pragma once
// A test's reference for the multi-spot tracker: the frame step as it was before frames were
// closed on a quiet link, written out from the rules on its own state, so that the driver's
// tracker can be replayed beside it. Spots go through the straight-through calibration of the
// pen test worlds: a camera point is its screen point.

#include "device/PacketFramer.h"
#include "device/SpotPacket.h"
#include "tracking/SpotParser.h"

#include <algorithm>
#include <vector>

using REPORT = std::vector<SPOT_SLOT>;

// Every '7' reports the frame before it, a '6' lifts and forgets every pen.
class CNextSevenTracker
{
public:
    // Spots are kept inside (0, 0) .. (width, height), the active monitor.
    CNextSevenTracker(int width, int height) : m_nWidth(width), m_nHeight(height) {}

    // One byte; true with the four slots when the byte completed a '6' or '7'.
    bool Feed(std::uint8_t byte, REPORT& report)
    {
        if (FrameByte(m_buf, m_pos, byte, spot_packet::MULTI_SPOT_RULES) != FRAME_RESULT::Complete)
            return false;
        const std::uint8_t type = m_buf[1];
        if (type == protocol::TYPE_NO_SPOT)
        {
            *this = CNextSevenTracker(m_nWidth, m_nHeight);
            report.assign(PEN_SLOTS, SPOT_SLOT{0, 0, SPOT_ABSENT});
            return true;
        }
        if (type == protocol::TYPE_FIRST_SPOT)
        {
            report.assign(PEN_SLOTS, SPOT_SLOT{});
            Step(report);
            for (int k = 0; k < PEN_SLOTS; ++k)
                m_prev[k] = m_placed[k];
            std::fill(m_cur, m_cur + PEN_SLOTS, PEN_POINT{});
            std::fill(m_new, m_new + PEN_SLOTS, PEN_POINT{});
            m_bBegunBySeven = true;
        }
        PEN_POINT p;
        if (spot_packet::DecodeMultiSpot(m_buf, p.x, p.y) && p.x > 0 && p.x <= m_nWidth &&
            p.y > 0 && p.y <= m_nHeight)
            Match(type, p);
        return type == protocol::TYPE_FIRST_SPOT;
    }

    // What the '7' would report for the frame so far, when a '7' began it and it has every pen
    // of the frame before: the frame a quiet link reports and a '6' then cuts off.
    bool WouldReport(REPORT& report)
    {
        report.assign(PEN_SLOTS, SPOT_SLOT{});
        for (int k = 0; k < PEN_SLOTS; ++k)
        {
            if (IsUsable(m_prev[k]) && IsExactlyEmpty(m_cur[k]))
                return false;
        }
        Step(report);
        return m_bBegunBySeven;
    }

private:
    void Step(REPORT& report)
    {
        int next = 0;
        for (int k = 0; k < PEN_SLOTS; ++k)
            m_placed[k] = IsExactlyEmpty(m_cur[k]) ? m_new[next++] : m_cur[k];
        for (int k = 0; k < PEN_SLOTS; ++k)
        {
            const bool lost = IsUsable(m_prev[k]) && IsExactlyEmpty(m_cur[k]);
            report[k] = lost || !IsUsable(m_placed[k])
                            ? SPOT_SLOT{0, 0, SPOT_ABSENT}
                            : SPOT_SLOT{m_placed[k].x, m_placed[k].y, SPOT_PRESENT};
        }
    }

    void Match(std::uint8_t type, const PEN_POINT& p)
    {
        const int threshold = type >= protocol::TYPE_THIRD_SPOT ? 40 : 80;
        for (int k = 0; k < PEN_SLOTS; ++k)
        {
            if (PenDistance(m_prev[k].x, m_prev[k].y, p.x, p.y) < threshold)
            {
                m_cur[k] = p;
                return;
            }
        }
        const int last = type - protocol::TYPE_FIRST_SPOT;
        for (int k = 0; k < last; ++k)
        {
            if (IsExactlyEmpty(m_new[k]))
            {
                m_new[k] = p;
                return;
            }
        }
        m_new[last] = p;
    }

    int m_nWidth;
    int m_nHeight;
    std::uint8_t m_buf[16] = {};
    std::uint16_t m_pos = 0;
    PEN_POINT m_prev[PEN_SLOTS];
    PEN_POINT m_cur[PEN_SLOTS];
    PEN_POINT m_new[PEN_SLOTS];
    PEN_POINT m_placed[PEN_SLOTS];
    bool m_bBegunBySeven = false;
};
