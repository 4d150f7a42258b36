// The stored category-tree form, 栏目数据 (backend/batch_category_read.h). Input: the stored bytes;
// the same bytes are also read as an add-article page whose tree is then stored. Checks: a decoded
// tree is a tree (parents before children, one level up); encoding a tree and decoding it gives it
// back (names with tabs or line breaks as spaces), and encoding that again gives the same bytes.

#include "backend/batch_category_read.h"
#include "backend/category_tree.h"
#include "fuzz_support.h"

namespace {

namespace backend = oz::backend;
using Tree = std::vector<backend::CategoryItem>;

std::string storedName(std::string name) {
    for (char& c : name) {
        if (c == '\t' || c == '\r' || c == '\n') c = ' ';
    }
    return name;
}

void checkIsTree(const Tree& tree) {
    for (std::size_t i = 0; i < tree.size(); ++i) {
        const backend::CategoryItem& item = tree[i];
        if (item.parent < 0) {
            OZ_FUZZ_CHECK_EQ(item.level, 1);
            continue;
        }
        OZ_FUZZ_CHECK(static_cast<std::size_t>(item.parent) < i);
        OZ_FUZZ_CHECK_EQ(item.level, tree[static_cast<std::size_t>(item.parent)].level + 1);
    }
}

// The tree survives its stored form: same ids, marks, places and (stored) names.
void checkRoundTrip(const Tree& tree) {
    const std::string bytes = backend::encodeCategoryTree(tree);
    OZ_FUZZ_CHECK(backend::isStoredTreeForm(bytes));
    const Tree back = backend::decodeCategoryTree(bytes);
    OZ_FUZZ_CHECK_EQ(back.size(), tree.size());
    for (std::size_t i = 0; i < tree.size(); ++i) {
        OZ_FUZZ_CHECK_EQ(back[i].id, tree[i].id);
        OZ_FUZZ_CHECK_EQ(back[i].checked, tree[i].checked);
        OZ_FUZZ_CHECK_EQ(back[i].parent, tree[i].parent);
        OZ_FUZZ_CHECK_EQ(back[i].level, tree[i].level);
        OZ_FUZZ_CHECK_EQ(back[i].name, storedName(tree[i].name));
    }
    OZ_FUZZ_CHECK_EQ(backend::encodeCategoryTree(back), bytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = oz::fuzz::asText(data, size);
    const Tree stored = backend::decodeCategoryTree(bytes);
    checkIsTree(stored);
    checkRoundTrip(stored);
    if (!stored.empty()) OZ_FUZZ_CHECK(backend::isStoredTreeForm(bytes));

    const Tree read = backend::parseCategoryTree(bytes);
    checkIsTree(read);
    checkRoundTrip(read);
    return 0;
}
