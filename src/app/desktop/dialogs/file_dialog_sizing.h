#pragma once

class QFileDialog;

namespace marlin::desktop {

// Gives Qt's own file dialog room for its columns: names take the width left
// over and sizes, types and dates are shown whole. A platform's native
// dialog sizes itself and is left alone.
void sizeFileDialog(QFileDialog& dialog);

}  // namespace marlin::desktop
