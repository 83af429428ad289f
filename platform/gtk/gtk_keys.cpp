#include "platform/gtk/gtk_keys.h"

#include <iterator>

#include "platform/win_types.h"

namespace plat::gtk {
namespace {

// The key right of the shift key on many European layouts has no VK name
// in the layer; Windows calls it VK_OEM_8.
constexpr int kVirtualKeyOem8 = 0xDF;

struct KeyPair {
    guint keyval;
    int virtual_key;
};

// Keys whose meaning does not depend on the layout.
constexpr KeyPair kFixedKeys[] = {
    {GDK_KEY_BackSpace, VK_BACK},       {GDK_KEY_Tab, VK_TAB},
    {GDK_KEY_ISO_Left_Tab, VK_TAB},     {GDK_KEY_Clear, VK_CLEAR},
    {GDK_KEY_Return, VK_RETURN},        {GDK_KEY_KP_Enter, VK_RETURN},
    {GDK_KEY_Shift_L, VK_SHIFT},        {GDK_KEY_Shift_R, VK_SHIFT},
    {GDK_KEY_Control_L, VK_CONTROL},    {GDK_KEY_Control_R, VK_CONTROL},
    {GDK_KEY_Alt_L, VK_MENU},           {GDK_KEY_Alt_R, VK_MENU},
    {GDK_KEY_Meta_L, VK_MENU},          {GDK_KEY_Meta_R, VK_MENU},
    {GDK_KEY_ISO_Level3_Shift, VK_MENU}, {GDK_KEY_Pause, VK_PAUSE},
    {GDK_KEY_Break, VK_PAUSE},          {GDK_KEY_Caps_Lock, VK_CAPITAL},
    {GDK_KEY_Escape, VK_ESCAPE},        {GDK_KEY_space, VK_SPACE},
    {GDK_KEY_KP_Space, VK_SPACE},       {GDK_KEY_Page_Up, VK_PRIOR},
    {GDK_KEY_KP_Page_Up, VK_PRIOR},     {GDK_KEY_Page_Down, VK_NEXT},
    {GDK_KEY_KP_Page_Down, VK_NEXT},    {GDK_KEY_End, VK_END},
    {GDK_KEY_KP_End, VK_END},           {GDK_KEY_Home, VK_HOME},
    {GDK_KEY_KP_Home, VK_HOME},         {GDK_KEY_Left, VK_LEFT},
    {GDK_KEY_KP_Left, VK_LEFT},         {GDK_KEY_Up, VK_UP},
    {GDK_KEY_KP_Up, VK_UP},             {GDK_KEY_Right, VK_RIGHT},
    {GDK_KEY_KP_Right, VK_RIGHT},       {GDK_KEY_Down, VK_DOWN},
    {GDK_KEY_KP_Down, VK_DOWN},         {GDK_KEY_KP_Begin, VK_CLEAR},
    {GDK_KEY_Select, VK_SELECT},        {GDK_KEY_Print, VK_SNAPSHOT},
    {GDK_KEY_Sys_Req, VK_SNAPSHOT},     {GDK_KEY_Insert, VK_INSERT},
    {GDK_KEY_KP_Insert, VK_INSERT},     {GDK_KEY_Delete, VK_DELETE},
    {GDK_KEY_KP_Delete, VK_DELETE},     {GDK_KEY_Help, VK_HELP},
    {GDK_KEY_Super_L, VK_LWIN},         {GDK_KEY_Super_R, VK_RWIN},
    {GDK_KEY_Menu, VK_APPS},            {GDK_KEY_KP_Multiply, VK_MULTIPLY},
    {GDK_KEY_KP_Add, VK_ADD},           {GDK_KEY_KP_Separator, VK_SEPARATOR},
    {GDK_KEY_KP_Subtract, VK_SUBTRACT}, {GDK_KEY_KP_Decimal, VK_DECIMAL},
    {GDK_KEY_KP_Divide, VK_DIVIDE},     {GDK_KEY_Num_Lock, VK_NUMLOCK},
    {GDK_KEY_Scroll_Lock, VK_SCROLL},
};

// Punctuation keys of the US layout, named by their unshifted character.
constexpr KeyPair kPunctuationKeys[] = {
    {GDK_KEY_semicolon, VK_OEM_1},   {GDK_KEY_equal, VK_OEM_PLUS},
    {GDK_KEY_comma, VK_OEM_COMMA},   {GDK_KEY_minus, VK_OEM_MINUS},
    {GDK_KEY_period, VK_OEM_PERIOD}, {GDK_KEY_slash, VK_OEM_2},
    {GDK_KEY_grave, VK_OEM_3},       {GDK_KEY_bracketleft, VK_OEM_4},
    {GDK_KEY_backslash, VK_OEM_5},   {GDK_KEY_bracketright, VK_OEM_6},
    {GDK_KEY_apostrophe, VK_OEM_7},
};

template <size_t N>
int Lookup(const KeyPair (&table)[N], guint keyval) {
    for (const KeyPair& pair : table) {
        if (pair.keyval == keyval) return pair.virtual_key;
    }
    return 0;
}

// Letters, digits and punctuation: the keys whose name depends on the layout.
int PrintableKey(guint keyval) {
    if (keyval >= GDK_KEY_a && keyval <= GDK_KEY_z) return 'A' + static_cast<int>(keyval - GDK_KEY_a);
    if (keyval >= GDK_KEY_A && keyval <= GDK_KEY_Z) return 'A' + static_cast<int>(keyval - GDK_KEY_A);
    if (keyval >= GDK_KEY_0 && keyval <= GDK_KEY_9) return '0' + static_cast<int>(keyval - GDK_KEY_0);
    return Lookup(kPunctuationKeys, keyval);
}

std::string Utf8Of(gunichar character) {
    char buffer[8] = {};
    const int length = g_unichar_to_utf8(character, buffer);
    return std::string(buffer, static_cast<size_t>(length));
}

}  // namespace

int VirtualKeyFromKeyval(guint keyval, guint base_keyval) {
    if (keyval >= GDK_KEY_KP_0 && keyval <= GDK_KEY_KP_9) {
        return VK_NUMPAD0 + static_cast<int>(keyval - GDK_KEY_KP_0);
    }
    if (keyval >= GDK_KEY_F1 && keyval <= GDK_KEY_F24) {
        return VK_F1 + static_cast<int>(keyval - GDK_KEY_F1);
    }
    if (int virtual_key = Lookup(kFixedKeys, keyval)) return virtual_key;
    if (base_keyval != 0) {
        if (int virtual_key = PrintableKey(base_keyval)) return virtual_key;
    }
    if (int virtual_key = PrintableKey(keyval)) return virtual_key;
    // Any other key that types a character still is a key to Windows.
    return gdk_keyval_to_unicode(keyval) > 0x20 ? kVirtualKeyOem8 : 0;
}

int VirtualKeyFromEvent(const GdkEventKey& event) {
    GdkKeymap* keymap = gdk_keymap_get_for_display(gdk_window_get_display(event.window));
    guint base_keyval = 0;
    if (!gdk_keymap_translate_keyboard_state(keymap, event.hardware_keycode, GdkModifierType(0),
                                             event.group, &base_keyval, nullptr, nullptr,
                                             nullptr)) {
        base_keyval = 0;
    }
    guint first_group_keyval = 0;
    if (event.group != 0 && PrintableKey(base_keyval) == 0 &&
        gdk_keymap_translate_keyboard_state(keymap, event.hardware_keycode, GdkModifierType(0), 0,
                                            &first_group_keyval, nullptr, nullptr, nullptr) &&
        PrintableKey(first_group_keyval) != 0) {
        // A non-Latin layout: Windows keeps the Latin key names on those keys.
        base_keyval = first_group_keyval;
    }
    return VirtualKeyFromKeyval(event.keyval, base_keyval);
}

std::string KeyText(guint keyval, GdkModifierType state) {
    switch (keyval) {
        case GDK_KEY_Delete:
        case GDK_KEY_KP_Delete:
            return {};
        case GDK_KEY_ISO_Left_Tab:
            return "\t";
        case GDK_KEY_KP_Enter:
            if ((state & GDK_CONTROL_MASK) == 0) return "\r";
            break;
        default:
            break;
    }
    const bool control = (state & GDK_CONTROL_MASK) != 0;
    const bool alt = (state & GDK_MOD1_MASK) != 0;
    if (control && !alt) {
        // Control characters as TranslateMessage makes them.
        if (keyval >= GDK_KEY_a && keyval <= GDK_KEY_z) return std::string(1, char(keyval - GDK_KEY_a + 1));
        if (keyval >= GDK_KEY_A && keyval <= GDK_KEY_Z) return std::string(1, char(keyval - GDK_KEY_A + 1));
        switch (keyval) {
            case GDK_KEY_bracketleft: return "\x1b";
            case GDK_KEY_backslash: return "\x1c";
            case GDK_KEY_bracketright: return "\x1d";
            case GDK_KEY_BackSpace: return "\x7f";
            case GDK_KEY_Return:
            case GDK_KEY_KP_Enter: return "\n";
            case GDK_KEY_Escape: return "\x1b";
            case GDK_KEY_space: return " ";
            default: return {};
        }
    }
    const gunichar character = gdk_keyval_to_unicode(keyval);
    if (character == 0 || character == 0x7F || !g_unichar_validate(character)) return {};
    return Utf8Of(character);
}

InputState InputStateOf(guint gdk_state) {
    InputState state;
    state.shift = (gdk_state & GDK_SHIFT_MASK) != 0;
    state.control = (gdk_state & GDK_CONTROL_MASK) != 0;
    state.alt = (gdk_state & GDK_MOD1_MASK) != 0;
    state.left = (gdk_state & GDK_BUTTON1_MASK) != 0;
    state.middle = (gdk_state & GDK_BUTTON2_MASK) != 0;
    state.right = (gdk_state & GDK_BUTTON3_MASK) != 0;
    return state;
}

}  // namespace plat::gtk
