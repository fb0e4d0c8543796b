#include "matchscreen.h"

#include <cstdio>

#include "gui.h"

void match_draw_end(const MatchState* m, int party, const char* other, int w, int h)
{
    char time[16], line[96];
    match_format_time(m->game_time, time, sizeof time);
    const char* word = match_result_word(m, party);
    int size = 48;
    gui_draw_text_shadowed(w / 2 - text_width(size, word) / 2, h / 2 + 40, size, word);
    size = 16;
    std::snprintf(line, sizeof line, "Game time %s", time);
    gui_draw_text_shadowed(w / 2 - text_width(size, line) / 2, h / 2, size, line);
    int them = 1 - party;
    std::snprintf(line, sizeof line, "Losses: yours %d of %d, %s %d of %d", m->losses[party],
                  m->start_count[party], other, m->losses[them], m->start_count[them]);
    gui_draw_text_shadowed(w / 2 - text_width(size, line) / 2, h / 2 - 24, size, line);
    const char* back = "Return or Escape: main menu";
    gui_draw_text_shadowed(w / 2 - text_width(size, back) / 2, h / 2 - 64, size, back);
}
