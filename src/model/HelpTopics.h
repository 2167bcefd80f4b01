#pragma once
// The help topics the windows open, by number: the map from a window to its page.

#include <array>

namespace dnp {

constexpr int kHelpContents = 0;
constexpr int kClass0HelpTopic = 19;
constexpr int kSendHelpTopic = 39;
constexpr int kRetrieveHelpTopic = 40;
constexpr int kReportHeaderHelpTopic = 42;
constexpr int kCommSettingsHelpTopic = 108;

struct HelpTopic {
    int number;
    const char* window;  // the window whose Help button (or F1) opens it
};

inline constexpr std::array<HelpTopic, 9> kHelpTopics = {{
    {kHelpContents, "Help Contents"},
    {kClass0HelpTopic, "Class 0 Selection"},
    {36, "Class 1 Selection"},
    {37, "Class 2 Selection"},
    {38, "Class 3 Selection"},
    {kSendHelpTopic, "Send Configuration"},
    {kRetrieveHelpTopic, "Retrieve Configuration"},
    {kReportHeaderHelpTopic, "Report Header"},
    {kCommSettingsHelpTopic, "Communication Settings"},
}};

// The topic of the class editor's help button for class 0-3: 19, 36, 37, 38.
constexpr int classHelpTopic(int cls)
{
    return kHelpTopics[1 + cls].number;
}

}  // namespace dnp
