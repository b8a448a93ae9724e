// Feeds arbitrary bytes to the recent folders' comma text: what is read must be written back as
// a text that reads as the same list, and the maximum must hold.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "settings/MRUDirList.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the maximum, the rest is the stored text.
    const int maxItems = data[0] % 24;
    const std::string_view text(reinterpret_cast<const char *>(data) + 1, size - 1);

    TMRUDirList list;
    int changes = 0;
    list.OnChange = [&changes] { ++changes; };
    list.SetCommaText(text);
    if (changes != 1)
        std::abort(); // one batch, one change event

    TMRUDirList copy;
    copy.SetCommaText(list.CommaText());
    if (copy.Items() != list.Items())
        std::abort();

    list.SetMaxItems(maxItems);
    if (list.Count() > maxItems)
        std::abort();
    const std::string stored = list.StoredText();
    if (stored.size() < 2 || stored.front() != '\'' || stored.back() != '\'')
        std::abort();
    for (int i = 0; i < list.Count(); ++i)
        copy.AddDirectory(list.Get(i));
    return 0;
}
