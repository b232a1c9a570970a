#include "drivetables.h"

#include <limits>

namespace sim {

namespace {

constexpr ValueRange Free{std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()};

constexpr std::array<ValueRange, 40> UserRanges{{
    {0, 99999}, {0, 9999},  {10, 9999}, {10, 9999}, {0, 9999}, {0, 9999},  {0, 9999}, {0, 9999},
    {0, 9999},  {0, 1},     {1, 999},   {1, 999},   {0, 9999}, {0, 9999},  {0, 9999}, {0, 300},
    {0, 300},   {-2000000, 2000000},    {-2000000, 2000000},   {1, 2500},  {1, 2500}, {0, 9999},
    {0, 1},     {0, 1},     {1, 2500},  {-99999, 99999},       {0, 100},   {1, 100},  {0, 99},
    {0, 1},     {0, 1023},  {1, 2500},  {1, 9999},  {0, 1},    {0, 0},     {0, 1},    {0, 1},
    {0, 3},     {0, 4095},  {0, 7},
}};

constexpr std::array<ValueRange, PointColumns> PointRanges{{{0, 1}, {-2000000, 2000000}, {0, 2500}, {0, 9999}}};

}  // namespace

ValueRange ParameterRange(int k)
{
    if (k >= 0 && k < static_cast<int>(UserRanges.size())) return UserRanges[k];
    return Free;
}

ValueRange PointColumnRange(int c) { return PointRanges.at(c); }

const Parameters &FactoryParameters()
{
    // Values an engineer finds in a drive fresh from the factory: a
    // moderately stiff tuning, full torque, a soft travel of ±1 m, and input
    // selection 155 (hexadecimal), which lets the PC give the commands.
    static const Parameters defaults{
        30000, 20, 40, 150, 40, 0, 0, 0, 50, 0,          // 00-09
        1, 1, 0, 0, 100, 300, 300, 1000000, -1000000, 200, // 10-19
        20, 0, 0, 0, 10, 0, 30, 100, 2, 0,               // 20-29
        0x155, 100, 100, 0, 0, 1, 0, 0, 0, 0,            // 30-39
        300, 6000, 0, 0, 2500, 1024, 10000, 120, 100, 800, // 40-49
        200, 0, 8, 0, 8, 120, 0, 0, 100, 0,              // 50-59
    };
    return defaults;
}

const PointTable &FactoryPoints()
{
    // A few demonstration moves; the other points are empty (speed and time 0
    // stand for the standard speed and time of parameters 31 and 32).
    static const PointTable defaults = [] {
        PointTable t{};
        const std::int32_t demo[][PointColumns] = {
            {0, 0, 100, 100},      {0, 100000, 200, 200}, {0, 250000, 300, 300},
            {0, -50000, 100, 100}, {1, 10000, 50, 50},    {1, -10000, 50, 50},
        };
        for (int p = 0; p < 6; ++p)
            for (int c = 0; c < PointColumns; ++c) t[p * PointColumns + c] = demo[p][c];
        return t;
    }();
    return defaults;
}

}  // namespace sim
