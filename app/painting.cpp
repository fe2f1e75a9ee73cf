#include "app/main_window.h"

void gf_drawText(std::int32_t x, std::int32_t y, std::string_view text, ui::Color colour) {
  if (mainWindow.painter != nullptr) mainWindow.painter->text(x, y, text, colour);
}

void gf_drawLabel(std::int32_t x, std::int32_t y, std::string_view text, bool enabled) {
  gf_drawText(x, y, text, enabled ? colour::black : colour::grey);
}

void lf_paintMainWindow(ui::Painter& painter) {
  mainWindow.painter = &painter;
  painter.fillRect(panel::title, mainWindow.blackBrush);
  painter.fillRect(panel::status, mainWindow.blackBrush);
  painter.fillRect(panel::settings, mainWindow.panelBrush);
  painter.fillRect(panel::statistics, mainWindow.blackBrush);
  painter.fillRect(panel::message, mainWindow.greenBrush);
  mainWindow.painter = nullptr;
}
