// How DDE names become D-Bus names. DDE had free-form service, topic and
// item names; D-Bus restricts the characters of bus names and object paths,
// so each name is mapped by a fixed rule that a shell user can apply by hand.
//
// Service name -> well-known bus name: "org.norva." + element, where
//   - an empty name is "norva";
//   - every character other than A-Z, a-z, 0-9, "_" and "-" becomes "_"
//     (one "_" per character, so "ä" gives one "_"; a broken UTF-8 byte, too);
//   - an element that starts with a digit gets a leading "_";
//   - the element is cut so the whole name stays within 255 characters.
//   "norva" -> org.norva.norva, "DL1ABC-3" -> org.norva.DL1ABC-3,
//   "9x" -> org.norva._9x, "ä" -> org.norva._, "a.b" -> org.norva.a_b.
//   Letter case is kept: D-Bus names are case-sensitive.
//
// Topic name -> object path: "/org/norva/topic/" + the topic, where each "/"
// of the topic stays a path separator, an empty part becomes "_", and every
// character other than A-Z, a-z, 0-9 and "_" becomes "_".
//   "01/03" -> /org/norva/topic/01/03, "Channel3_2" -> /org/norva/topic/Channel3_2,
//   "OpenChannelFile" -> /org/norva/topic/OpenChannelFile.
// The rule is not reversible in general, so the service keeps a table of its
// topics; a topic whose path (ignoring letter case) is already taken is refused.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace norva {

inline constexpr std::string_view kBusNamePrefix = "org.norva.";
inline constexpr std::string_view kTopicPathPrefix = "/org/norva/topic";
inline constexpr std::string_view kDdeInterface = "org.norva.Dde";
inline constexpr std::size_t kMaxBusNameLength = 255;
// Longest topic or item name accepted (longer ones are refused, not cut).
inline constexpr std::size_t kMaxDdeNameLength = 255;

std::string serviceBusName(std::string_view serviceName);
// Empty when the topic is empty or longer than kMaxDdeNameLength.
std::string topicObjectPath(std::string_view topic);
// ASCII lower case: topics and items compare without regard to case, as DDE names did.
std::string lowerAscii(std::string_view s);
std::string upperAscii(std::string_view s);

}  // namespace norva
