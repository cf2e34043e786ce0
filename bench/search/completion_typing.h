#pragma once
// Typing markup on a big page with the editing aids off and on, alternating.
#include <QApplication>
#include <filesystem>
#include <string>

#include "text/qt_edit_pane.h"

// Prints, per state, the median over runs of the 95th percentile per key,
// their ratio, and how soon the list is shown after a key that opens or
// narrows it.
void RunCompletionTyping(QApplication& app, hemlo::text::QtEditPane& pane, const std::string& page,
                         const std::filesystem::path& scratch, int runs);
