// The desktop's interface font as GTK knows it. WebKitGTK resolves
// "system-ui" through fontconfig's list of interface fonts, and each family
// of that list the system lacks is a slow miss on the page's first layout
// (about 35 ms here, a tenth of the web view's own start); the family GTK
// uses is the desktop's own choice, and named directly it is found at once.
#include <gtk/gtk.h>
#include <pango/pangocairo.h>

#include <string>

#include "platform/platform.h"

namespace platform {

std::string desktopFontFamily() {
    GtkSettings* settings = gtk_settings_get_default();
    if (!settings) return "";
    gchar* fontName = nullptr;
    g_object_get(settings, "gtk-font-name", &fontName, nullptr);
    if (!fontName) return "";
    PangoFontDescription* description = pango_font_description_from_string(fontName);
    g_free(fontName);
    const char* family = pango_font_description_get_family(description);
    std::string found;
    // A family the font library does not know would be the same slow miss.
    if (family && pango_font_map_get_family(pango_cairo_font_map_get_default(), family)) found = family;
    pango_font_description_free(description);
    return found;
}

}  // namespace platform
