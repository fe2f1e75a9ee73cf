#pragma once
// Mouse and keyboard events handed to FLTK as the X server would deliver them (GUI thread), for tests
// of the real window.
#include <string>

#include <FL/Fl.H>
#include <FL/Fl_Window.H>

// A left click at (x, y) of the window's client area.
inline void fltkClick(Fl_Window* win, int x, int y) {
    Fl::e_x = x;
    Fl::e_y = y;
    Fl::e_x_root = win->x() + x;
    Fl::e_y_root = win->y() + y;
    Fl::e_keysym = FL_Button + 1;
    Fl::e_state = FL_BUTTON1;
    Fl::handle(FL_PUSH, win);
    Fl::e_state = 0;
    Fl::handle(FL_RELEASE, win);
}

// Typing the text into the widget, which takes the focus, and then Enter.
inline void fltkTypeAndEnter(Fl_Window* win, Fl_Widget* field, std::string text) {
    Fl::focus(field);
    Fl::e_keysym = text.empty() ? 0 : text[0];
    Fl::e_text = text.data();
    Fl::e_length = static_cast<int>(text.size());
    Fl::handle(FL_KEYBOARD, win);
    char enter[] = "\r";
    Fl::e_keysym = FL_Enter;
    Fl::e_text = enter;
    Fl::e_length = 1;
    Fl::handle(FL_KEYBOARD, win);
}
