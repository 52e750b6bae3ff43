#pragma once
// Every text number the program looks up; the catalogue build refuses a source that lacks one.

#include <array>

namespace verno::catalogue {

inline constexpr std::array kRequiredTextNumbers{
    141, 150, 280, 352, 593, 605, 640, 654, 664, 683, 776, 777, 778, 779, 781, 782, 783, 784,
    785, 786, 787, 788, 789, 790, 792, 793, 794, 796, 797, 799, 800, 801, 802, 803, 804, 805,
    806, 807, 808, 809, 814, 815, 816, 817, 818, 819, 820, 821, 822, 823, 824, 825, 826,
};

// The catalogue's languages, in column order (column k holds language k).
inline constexpr int kLanguageCount = 5;

}  // namespace verno::catalogue
