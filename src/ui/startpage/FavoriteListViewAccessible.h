#pragma once

// Makes screen readers see the start page's tiles: each is a list item named by its caption,
// described by its other texts, whose default action opens it. Installed once.
void InstallFavoriteListViewAccessibility();
