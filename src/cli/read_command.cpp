// quillon-cli read ADDRESS: what the feed reader holds after loading one feed, with the
// feed's format, whether it had to be mended first and whether it was cut off.

#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>

#include "cli/cli_commands.h"
#include "feeds/rss_reader.h"

int RunReadCommand(const std::vector<std::string>& args) {
    if (args.size() != 1) {
        std::fputs("usage: quillon-cli read ADDRESS\n", stderr);
        return 2;
    }
    CRssReader reader;
    reader.LoadFromUrl(args[0], AddressOrigin::kTypedByUser);

    nlohmann::ordered_json channel = nlohmann::ordered_json::object();
    CRssChannel channelRecord = reader.Channel();
    for (const RssChannelField& field : ChannelFields()) {
        channel[std::string(field.name)] = field.field(channelRecord);
    }
    nlohmann::ordered_json items = nlohmann::ordered_json::array();
    for (int i = 0; i < reader.ItemCount(); ++i) {
        CRssItem item;
        reader.ReadItem(i, &item);
        nlohmann::ordered_json fields = nlohmann::ordered_json::object();
        for (const RssItemField& field : ItemFields()) {
            fields[std::string(field.name)] = field.field(item);
        }
        items.push_back(std::move(fields));
    }
    nlohmann::ordered_json out;
    out["itemCount"] = reader.ItemCount();
    out["format"] = std::string(reader.FormatName());
    out["recovered"] = reader.Recovered();
    out["partial"] = reader.Partial();
    out["channel"] = std::move(channel);
    out["items"] = std::move(items);
    std::cout << out.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
    if (reader.ItemCount() < 1) {
        std::fprintf(stderr, "quillon-cli: no items read from %s: %s\n", args[0].c_str(),
                     reader.LastError().c_str());
        return 1;
    }
    return 0;
}
