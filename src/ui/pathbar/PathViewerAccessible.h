#pragma once

// Makes screen readers see the path bar's parts: every segment and arrow is a button, the
// text field of edit mode an editable text. Installed once, by the first bar.
void InstallPathViewerAccessibility();
