#include "settings/LangUtils.h"

#include <algorithm>
#include <array>
#include <utility>

#include "common/TextUtils.h"
#include "common/Translate.h"

namespace {

constexpr std::array<TIsoLanguage, 189> Languages = {{{"aa", "Afar"}, {"ab", "Abkhazian"}, {"ae", "Avestan"},
    {"af", "Afrikaans"}, {"ak", "Akan"}, {"am", "Amharic"}, {"an", "Aragonese"}, {"ar", "Arabic"}, {"as", "Assamese"},
    {"av", "Avaric"}, {"ay", "Aymara"}, {"az", "Azerbaijani"}, {"ba", "Bashkir"}, {"be", "Belarusian"},
    {"bg", "Bulgarian"}, {"bh", "Bihari"}, {"bi", "Bislama"}, {"bm", "Bambara"}, {"bn", "Bengali"}, {"bo", "Tibetan"},
    {"br", "Breton"}, {"bs", "Bosnian"}, {"ca", "Catalan"}, {"ce", "Chechen"}, {"ch", "Chamorro"}, {"co", "Corsican"},
    {"cr", "Cree"}, {"cs", "Czech"}, {"cv", "Chuvash"}, {"cy", "Welsh"}, {"da", "Danish"}, {"de", "German"},
    {"dv", "Divehi"}, {"dz", "Dzongkha"}, {"ee", "Ewe"}, {"el", "Greek"}, {"en", "English"},
    {"en_US", "American English"}, {"en_GB", "British English"}, {"en_AU", "Australian English"}, {"eo", "Esperanto"},
    {"es", "Spanish"}, {"et", "Estonian"}, {"eu", "Basque"}, {"fa", "Persian"}, {"ff", "Fulah"}, {"fi", "Finnish"},
    {"fj", "Fijian"}, {"fo", "Faroese"}, {"fr", "French"}, {"fr_BE", "Walloon"}, {"fy", "Frisian"}, {"ga", "Irish"},
    {"gd", "Gaelic"}, {"gl", "Gallegan"}, {"gn", "Guarani"}, {"gu", "Gujarati"}, {"gv", "Manx"}, {"ha", "Hausa"},
    {"he", "Hebrew"}, {"hi", "Hindi"}, {"ho", "Hiri Motu"}, {"hr", "Croatian"}, {"ht", "Haitian"}, {"hu", "Hungarian"},
    {"hy", "Armenian"}, {"hz", "Herero"}, {"ia", "Interlingua"}, {"id", "Indonesian"}, {"ie", "Interlingue"},
    {"ig", "Igbo"}, {"ii", "Sichuan Yi"}, {"ik", "Inupiaq"}, {"io", "Ido"}, {"is", "Icelandic"}, {"it", "Italian"},
    {"iu", "Inuktitut"}, {"ja", "Japanese"}, {"jv", "Javanese"}, {"ka", "Georgian"}, {"kg", "Kongo"}, {"ki", "Kikuyu"},
    {"kj", "Kuanyama"}, {"kk", "Kazakh"}, {"kl", "Greenlandic"}, {"km", "Khmer"}, {"kn", "Kannada"}, {"ko", "Korean"},
    {"kr", "Kanuri"}, {"ks", "Kashmiri"}, {"ku", "Kurdish"}, {"kw", "Cornish"}, {"kv", "Komi"}, {"ky", "Kirghiz"},
    {"la", "Latin"}, {"lb", "Luxembourgish"}, {"lg", "Ganda"}, {"li", "Limburgan"}, {"ln", "Lingala"}, {"lo", "Lao"},
    {"lt", "Lithuanian"}, {"lu", "Luba-Katanga"}, {"lv", "Latvian"}, {"mg", "Malagasy"}, {"mh", "Marshallese"},
    {"mi", "Maori"}, {"mk", "Macedonian"}, {"ml", "Malayalam"}, {"mn", "Mongolian"}, {"mo", "Moldavian"},
    {"mr", "Marathi"}, {"ms", "Malay"}, {"mt", "Maltese"}, {"my", "Burmese"}, {"na", "Nauru"},
    {"nb", "Norwegian Bokmaal"}, {"nd", "Ndebele, North"}, {"ne", "Nepali"}, {"ng", "Ndonga"}, {"nl", "Dutch"},
    {"nl_BE", "Flemish"}, {"nn", "Norwegian Nynorsk"}, {"no", "Norwegian"}, {"nr", "Ndebele, South"}, {"nv", "Navajo"},
    {"ny", "Chichewa"}, {"oc", "Occitan"}, {"oj", "Ojibwa"}, {"om", "Oromo"}, {"or", "Oriya"}, {"os", "Ossetian"},
    {"pa", "Panjabi"}, {"pi", "Pali"}, {"pl", "Polish"}, {"ps", "Pushto"}, {"pt", "Portuguese"}, {"qu", "Quechua"},
    {"rm", "Raeto-Romance"}, {"rn", "Rundi"}, {"ro", "Romanian"}, {"ru", "Russian"}, {"rw", "Kinyarwanda"},
    {"sa", "Sanskrit"}, {"sc", "Sardinian"}, {"sd", "Sindhi"}, {"se", "Northern Sami"}, {"sg", "Sango"},
    {"si", "Sinhalese"}, {"sk", "Slovak"}, {"sl", "Slovenian"}, {"sm", "Samoan"}, {"sn", "Shona"}, {"so", "Somali"},
    {"sq", "Albanian"}, {"sr", "Serbian"}, {"ss", "Swati"}, {"st", "Sotho, Southern"}, {"su", "Sundanese"},
    {"sv", "Swedish"}, {"sw", "Swahili"}, {"ta", "Tamil"}, {"te", "Telugu"}, {"tg", "Tajik"}, {"th", "Thai"},
    {"ti", "Tigrinya"}, {"tk", "Turkmen"}, {"tl", "Tagalog"}, {"tn", "Tswana"}, {"to", "Tonga"}, {"tr", "Turkish"},
    {"ts", "Tsonga"}, {"tt", "Tatar"}, {"tw", "Twi"}, {"ty", "Tahitian"}, {"ug", "Uighur"}, {"uk", "Ukrainian"},
    {"ur", "Urdu"}, {"uz", "Uzbek"}, {"ve", "Venda"}, {"vi", "Vietnamese"}, {"vo", "Volapuk"}, {"wa", "Walloon"},
    {"wo", "Wolof"}, {"xh", "Xhosa"}, {"yi", "Yiddish"}, {"yo", "Yoruba"}, {"za", "Zhuang"}, {"zh", "Chinese"},
    {"zu", "Zulu"}}};

std::string_view SortKey(std::string_view entry)
{
    const auto equals = entry.find('=');
    return equals == std::string_view::npos ? entry : entry.substr(equals + 1);
}

} // namespace

std::span<const TIsoLanguage> IsoLanguages()
{
    return Languages;
}

std::string GetLanguageName(std::string_view code)
{
    if (code.size() > 2)
        for (const TIsoLanguage &language : Languages)
            if (language.ISO_639_1 == code)
                return std::string(language.English_Name);
    const std::string_view base = code.substr(0, 2);
    for (const TIsoLanguage &language : Languages)
        if (language.ISO_639_1 == base)
            return std::string(language.English_Name);
    return {};
}

namespace {

// How the languages of the shipped catalogs call themselves; a user looking for their language
// finds it by that name, whatever language the window speaks at the moment.
constexpr std::pair<std::string_view, std::string_view> OwnNames[] = {
    {"cs", "\u010Ce\u0161tina"},
    {"de", "Deutsch"},
    {"en", "English"},
    {"es", "Espa\u00F1ol"},
    {"fr", "Fran\u00E7ais"},
    {"it", "Italiano"},
    {"ja", "\u65E5\u672C\u8A9E"},
    {"nl", "Nederlands"},
    {"pl", "Polski"},
    {"pt", "Portugu\u00EAs"},
    {"pt_BR", "Portugu\u00EAs (Brasil)"},
    {"ru", "\u0420\u0443\u0441\u0441\u043A\u0438\u0439"},
    {"zh", "\u4E2D\u6587"},
    {"zh_CN", "\u7B80\u4F53\u4E2D\u6587"},
};

std::string_view OwnName(std::string_view code)
{
    for (const auto &[key, name] : OwnNames)
        if (key == code)
            return name;
    return {};
}

} // namespace

std::string GetLanguageOwnName(std::string_view code)
{
    if (const std::string_view own = OwnName(code); !own.empty())
        return std::string(own);
    // A country variant the table does not name keeps its English name ("American English")
    // rather than becoming its bare language.
    if (code.size() > 2)
        for (const TIsoLanguage &language : Languages)
            if (language.ISO_639_1 == code)
                return std::string(language.English_Name);
    if (const std::string_view own = OwnName(code.substr(0, 2)); !own.empty())
        return std::string(own);
    return GetLanguageName(code);
}

std::string GetLanguageDisplayName(std::string_view code)
{
    return GetLanguageOwnName(code) + " [" + std::string(code) + "]";
}

std::string GetBaseLanguageDisplayName(std::string_view code)
{
    const std::string_view base = code.substr(0, code.find('_'));
    return GetLanguageOwnName(base) + " [" + std::string(base) + "]";
}

std::string ExtractLanguageCode(std::string_view text)
{
    return TextBetween(text, "[", "]");
}

void FillLanguageList(std::vector<std::string> &list)
{
    GetListOfLanguages(TextDomain(), list);
    if (std::find(list.begin(), list.end(), "en") == list.end())
        list.emplace_back("en");
    for (std::string &entry : list)
        entry = GetLanguageDisplayName(entry);
    std::stable_sort(
        list.begin(), list.end(), [](const std::string &a, const std::string &b) { return SortKey(a) < SortKey(b); });
}
