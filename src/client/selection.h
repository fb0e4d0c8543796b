// Selection and orders while a game is played: what the crosshair picks each
// frame, the left-click rules, Ctrl+A, and the pointer-motion rules while the
// pointer is held. The event dispatch itself is handle_event (input.h).
#pragma once

// Number of selected entities, units and buildings alike.
int count_selected_entities();
// Party of the first selected entity in list order; -1 when nothing is selected.
int get_selected_party();
// Prints what main_pointed_thing holds on standard output.
void print_point_info();

// The frame's pointing: with something selected voxels and entities, otherwise entities only;
// nothing while the pointer is free. Updates main_select_is_attack.
void update_pointing();
// Ctrl+A: selects every unit of the selected party (party 0 when nothing is selected).
void select_all_units();
// Left button pressed while the pointer is held: travel, attack or selection by what is pointed.
void play_left_click();
