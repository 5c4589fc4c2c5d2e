#!/usr/bin/env bash
# Installs the "Neue Datei" entries of Nautilus, Dolphin and Thunar for the current user.
# Usage: integrations/install.sh [path of the larkspire program]
# Thunar's other custom actions are kept: only the Larkspire action is added or replaced.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
larkspire=${1:-larkspire}
data=${XDG_DATA_HOME:-$HOME/.local/share}
config=${XDG_CONFIG_HOME:-$HOME/.config}
helper=$data/larkspire/larkspire-new-file

# Text for the right-hand side of a sed substitution.
sed_text() { printf '%s' "$1" | sed -e 's/[\\|&]/\\&/g'; }

# Writes a file from a template with the helper's path filled in, replacing it in one step.
install_template() {
    local source=$1 target=$2 mode=$3
    mkdir -p "$(dirname "$target")"
    sed -e "s|@HELPER@|$(sed_text "$helper")|g" -e "s|@LARKSPIRE@|$(sed_text "$larkspire")|g" "$source" >"$target.tmp.$$"
    chmod "$mode" "$target.tmp.$$"
    mv -f "$target.tmp.$$" "$target"
}

install_template "$here/larkspire-new-file" "$helper" 755
install_template "$here/nautilus/Neue Datei" "$data/nautilus/scripts/Neue Datei" 755
install_template "$here/dolphin/larkspire-neue-datei.desktop" "$data/kio/servicemenus/larkspire-neue-datei.desktop" 755
install_template "$here/dolphin/larkspire-neue-datei.desktop" \
    "$data/kservices5/ServiceMenus/larkspire-neue-datei.desktop" 644

# "Zur Seitenleiste hinzufügen" for folders, beside "Neue Datei".
favorite_helper=$data/larkspire/larkspire-add-favorite
install_favorite() {
    mkdir -p "$(dirname "$2")"
    sed -e "s|@FAVORITE_HELPER@|$(sed_text "$favorite_helper")|g" -e "s|@LARKSPIRE@|$(sed_text "$larkspire")|g" \
        "$1" >"$2.tmp.$$"
    chmod "$3" "$2.tmp.$$"
    mv -f "$2.tmp.$$" "$2"
}
install_favorite "$here/larkspire-add-favorite" "$favorite_helper" 755
install_favorite "$here/nautilus/Zur Seitenleiste hinzufügen" "$data/nautilus/scripts/Zur Seitenleiste hinzufügen" 755
install_favorite "$here/dolphin/larkspire-seitenleiste.desktop" "$data/kio/servicemenus/larkspire-seitenleiste.desktop" 755

# Thunar keeps all custom actions in one file: merge ours into it.
actions=$config/Thunar/uca.xml
mkdir -p "$(dirname "$actions")"
action=$(sed -e "s|@HELPER@|$(sed_text "$helper")|g" "$here/thunar/action.xml")
if [[ ! -s $actions ]]; then
    printf '<?xml version="1.0" encoding="UTF-8"?>\n<actions>\n%s\n</actions>\n' "$action" >"$actions.tmp.$$"
    mv -f "$actions.tmp.$$" "$actions"
elif grep -q '</actions>' "$actions"; then
    [[ -e $actions.larkspire-backup ]] || cp -p "$actions" "$actions.larkspire-backup"
    # Drop an earlier Larkspire action, keep every other block as it is, add ours before the end.
    ACTION=$action awk '
        /<action>/ { inside = 1; block = ""; ours = 0 }
        inside {
            block = block $0 "\n"
            if ($0 ~ /<unique-id>larkspire-neue-datei<\/unique-id>/) ours = 1
            if ($0 ~ /<\/action>/) { inside = 0; if (!ours) printf "%s", block }
            next
        }
        /<\/actions>/ { print ENVIRON["ACTION"] }
        { print }
    ' "$actions" >"$actions.tmp.$$"
    mv -f "$actions.tmp.$$" "$actions"
else
    echo "Thunar: $actions has an unknown form and was left alone; add integrations/thunar/action.xml by hand." >&2
fi
