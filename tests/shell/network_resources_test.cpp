// The network locations of the start page, read from the desktop's gvfs folder.
#include <gtest/gtest.h>

#include "shell/NetworkResources.h"
#include "support/TempTree.h"

TEST(NetworkResources, GvfsFolderNamesBecomeReadableLocations)
{
    struct TCase
    {
        const char *Folder;
        const char *Shown;
        TNetworkDisplayType Type;
    };
    const TCase cases[] = {
        {"smb-share:server=nas,share=media", "media on nas", ndtShare},
        {"smb-share:domain=HOME,server=nas,share=my%20music,user=bob", "my music on nas", ndtShare},
        {"afp-volume:host=mac.local,user=me,volume=Data", "Data on mac.local", ndtShare},
        {"sftp:host=example.org,user=bob", "bob on example.org", ndtServer},
        {"ftp:host=ftp.example.org", "ftp.example.org", ndtServer},
        {"dav:host=cloud,ssl=true,prefix=%2Fremote.php", "cloud", ndtServer},
        {"trash:", "trash", ndtGeneric},
        {"plain", "plain", ndtGeneric},
        // A truncated escape stays as it is.
        {"smb-share:server=n%2,share=s%", "s% on n%2", ndtShare},
    };
    for (const TCase &c : cases) {
        const TNetworkResource r = GvfsLocation("/run/user/1000/gvfs", c.Folder);
        EXPECT_EQ(r.Comment, c.Shown) << c.Folder;
        EXPECT_EQ(r.DisplayType, c.Type) << c.Folder;
        EXPECT_EQ(r.ResourceName, std::string("/run/user/1000/gvfs/") + c.Folder);
    }
}

TEST(NetworkResources, ReadsTheFoldersOfTheGvfsMountSorted)
{
    TempTree tree;
    tree.MakeDir("gvfs/smb-share:server=nas,share=video");
    tree.MakeDir("gvfs/sftp:host=box");
    tree.MakeFile("gvfs/stray-file");
    const auto list = ReadGvfsLocations(tree / "gvfs");
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].Comment, "box");
    EXPECT_EQ(list[1].Comment, "video on nas");
    EXPECT_EQ(list[1].ResourceName, tree / "gvfs/smb-share:server=nas,share=video");
    // No gvfs mount (no desktop session): no locations, no error.
    EXPECT_TRUE(ReadGvfsLocations(tree / "missing").empty());
    EXPECT_TRUE(ReadGvfsLocations("").empty());
}
