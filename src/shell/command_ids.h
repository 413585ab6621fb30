// Command numbers: menu items, toolbar buttons, accelerators, soft buttons and the focus loss
// of the two edit controls all reach the command layer as one of these.
#pragma once

#include <cstdint>

namespace kelvora::shell {

using CommandId = std::uint16_t;

namespace cmd {
inline constexpr CommandId New = 40003;
inline constexpr CommandId Open = 40004;
inline constexpr CommandId Close = 40005;
inline constexpr CommandId RecentMenu1 = 50000;  // .. 50002
inline constexpr CommandId ImportXml = 40106;
inline constexpr CommandId ExportXml = 40107;
inline constexpr CommandId ImportQa = 40058;
inline constexpr CommandId ExportQa = 40059;
inline constexpr CommandId UpdateXml = 40121;
inline constexpr CommandId ImportPeer = 40122;
inline constexpr CommandId ExportAnki = 40123;
inline constexpr CommandId Reset = 40040;
inline constexpr CommandId Exit = 40033;
inline constexpr CommandId Learn = 40007;
inline constexpr CommandId Edit = 40008;
inline constexpr CommandId Unicode = 40103;
inline constexpr CommandId CompressedUnicode = 40104;
inline constexpr CommandId Html = 40105;
inline constexpr CommandId StatisticsView = 40108;  // 40109..40113: Q/A size 75%..25%
inline constexpr CommandId QaSize25 = 40113;
inline constexpr CommandId AddNew = 40095;
inline constexpr CommandId Delete = 40096;
inline constexpr CommandId SwapQa = 40012;
inline constexpr CommandId Forget = 40054;
inline constexpr CommandId Remember = 40055;
inline constexpr CommandId Dismiss = 40056;
inline constexpr CommandId UndoGrade = 40120;
inline constexpr CommandId Find = 40098;
inline constexpr CommandId FindNext = 40099;
inline constexpr CommandId GoTo = 40010;
inline constexpr CommandId Fonts = 40067;
inline constexpr CommandId Calendar = 40068;
inline constexpr CommandId SwapAll = 40097;
inline constexpr CommandId About = 40041;
inline constexpr CommandId HelpTopics = 40100;
inline constexpr CommandId StoreQuestion = 10;
inline constexpr CommandId StoreAnswer = 11;
inline constexpr CommandId LearnButton = 50;
inline constexpr CommandId EditButton = 51;
inline constexpr CommandId GradeBright = 60;  // 60..65: grades 5..0
inline constexpr CommandId GradeNull = 65;
inline constexpr CommandId Home = 70;
inline constexpr CommandId Prev = 71;
inline constexpr CommandId Next = 72;
inline constexpr CommandId End = 73;
inline constexpr CommandId Add = 74;
inline constexpr CommandId CancelEdit = 75;
inline constexpr CommandId ShowAnswer = 80;
inline constexpr CommandId CancelQuestion = 81;
inline constexpr CommandId Last = 82;
inline constexpr CommandId NextRepetition = 90;
inline constexpr CommandId CancelLearning = 91;
inline constexpr CommandId RecentButton1 = 100;  // .. 102
}  // namespace cmd

// The notification an edit control sends when it loses the keyboard focus.
inline constexpr std::uint16_t kFocusLost = 0x0200;

}  // namespace kelvora::shell
