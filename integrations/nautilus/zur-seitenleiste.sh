#!/usr/bin/env bash
# Nautilus script "Zur Seitenleiste hinzufügen": every selected folder, as paths or, on shares, as URIs.
items=()
while IFS= read -r uri; do
    [[ -n $uri ]] && items+=("$uri")
done <<<"${NAUTILUS_SCRIPT_SELECTED_URIS-}"
exec @FAVORITE_HELPER@ "${items[@]}"
