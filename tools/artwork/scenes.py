"""Every page picture's drawing function, gathered for the generator."""

from scene_clocks import desktop_clock, hide_arrow, taskbar_strip, tray_clock
from scene_dialogs import critical_days, download_menu, popup_menu, skin_list, startup_group
from scene_photos import main_background, welcome_banner

__all__ = ["critical_days", "desktop_clock", "download_menu", "hide_arrow", "main_background",
           "popup_menu", "skin_list", "startup_group", "taskbar_strip", "tray_clock",
           "welcome_banner"]
