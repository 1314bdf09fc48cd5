#include "tests/platform/LegacyCorpus.h"

#include <QStringEncoder>
#include <QStringList>

#include <cstdint>
#include <random>

using namespace Qt::StringLiterals;

namespace testsupport {

namespace {

struct Words {
    QStringList titles;      // of any length
    QStringList shortTitles; // two to four characters
    QStringList artists;
    QStringList albums;
    QStringList decorations; // appended to some titles
};

// A list written as one text, '|' between the entries.
QStringList words(const char16_t* list)
{
    return QString::fromUtf16(list).split(u'|');
}

Words simplifiedWords()
{
    return {// titles
            words(u"月亮代表我的心|一千个伤心的理由|夜空中最亮的星|平凡之路|光年之外|告白气球|"
                  u"说好的幸福呢|漂洋过海来看你|睡在我上铺的兄弟|时间都去哪儿了|北京欢迎你|"
                  u"冬天里的一把火|真心英雄|爱情转移|因为爱情|同桌的你|匆匆那年|简单爱|"
                  u"东风破|七里香|青花瓷|小幸运|南山南|春天里|老男孩|小苹果|心太软|"
                  u"爱如潮水|突然好想你|我们的歌|后来的我们|那些花儿|外面的世界|"
                  u"让我们荡起双桨|弯弯的月亮|常回家看看|好汉歌|大约在冬季|再回首|涛声依旧|"
                  u"雨一直下|听海|遇见|稻香|晴天|童话|后来|朋友|成都|演员|十年|红豆|"
                  u"传奇|吻别|父亲|少年|起风了|野狼|大海|江南|思念是一种病|最初的梦想|"
                  u"我的未来不是梦|明天会更好|一路上有你|把悲伤留给自己|你的样子|夏天的风|"
                  u"雨中的回忆|远方的故乡|孤单的夜晚|永远的朋友"),
            // shortTitles
            words(u"童话|光良|后来|晴天|稻香|朋友|成都|演员|十年|红豆|传奇|吻别|父亲|"
                  u"母亲|少年|野狼|大海|江南|听海|遇见|故乡|思念|离别|等待|幸福|温柔|"
                  u"回忆|青春|远方|流浪|孤单|快乐|眼泪|微笑|明天|永远|心愿|起风了|"
                  u"小幸运|南山南|春天里|老男孩|青花瓷|东风破|七里香|心太软|再回首|"
                  u"雨一直下|平凡之路|光年之外|真心英雄|同桌的你|匆匆那年|夏天的风|爱你|"
                  u"想你|蓝莲花|白桦林|茉莉花|梦里水乡|渡口|追梦人|兰花草|映山红|小芳|"
                  u"星语心愿|菊花台|发如雪|双截棍|安静|倒带|泡沫|画心|知足|勇气|倔强|"
                  u"突然"),
            // artists
            words(u"光良|周杰伦|王菲|刘德华|张学友|陈奕迅|林俊杰|孙燕姿|蔡依林|王力宏|"
                  u"李宇春|张靓颖|汪峰|许巍|朴树|那英|韩红|毛不易|薛之谦|邓紫棋|李荣浩|"
                  u"赵雷|宋冬野|田馥甄|梁静茹|五月天|刘欢|毛阿敏|周华健|任贤齐|水木年华|"
                  u"羽泉|张伟|王芳|李娜|杨帆|陈静|刘洋|黄小琥|郑钧"),
            // albums
            words(u"精选集|最好的时光|十一月的萧邦|范特西|叶惠美|我很忙|新歌加精选|经典老歌|"
                  u"华语金曲|怀旧金曲|车载音乐|夜曲|寓言|不能说的秘密|追梦人|在路上|"
                  u"生如夏花|我们的青春|流行歌曲|情歌对唱|民谣时光|摇滚中国|电影原声|"
                  u"校园民谣|网络热歌|演唱会现场|单曲|新专辑|好歌推荐|午夜电台"),
            // decorations
            words(u" (Live)|（现场版）| - 伴奏|（DJ版）| 2004|"
                  u"《电视剧主题曲》")};
}

Words traditionalWords()
{
    return {// titles
            words(u"月亮代表我的心|何日君再來|我只在乎你|小城故事|甜蜜蜜|海闊天空|光輝歲月|"
                  u"真的愛你|喜歡你|千千闕歌|愛你一萬年|對你愛不完|情非得已|說好的幸福呢|"
                  u"突然好想你|你是我的眼|魯冰花|橄欖樹|外婆的澎湖灣|恰似你的溫柔|鄉間小路|"
                  u"忘了我是誰|新不了情|夢醒時分|朋友別哭|單身情歌|愛的代價|親愛的小孩|"
                  u"聽見下雨的聲音|你不是真正的快樂|寂寞寂寞就好|我們的愛|開始懂了|領悟|"
                  u"小情歌|天黑黑|綠光|勇氣|葉子|煎熬|倔強|知足|擁抱|溫柔|後來|聽海|"
                  u"吻別|童年|遇見|戀曲一九九零|鹿港小鎮|明天會更好|掌聲響起|酒矸倘賣無|"
                  u"愛拼才會贏|家後|雨夜花|望春風|思念是一種病|最初的夢想|我的未來不是夢|"
                  u"一路上有你|把悲傷留給自己|夏天的風|雨中的回憶|遠方的故鄉|孤單的夜晚|"
                  u"永遠的朋友"),
            // shortTitles
            words(u"後來|聽海|吻別|童年|遇見|領悟|綠光|勇氣|葉子|煎熬|倔強|知足|擁抱|"
                  u"溫柔|家後|甜蜜蜜|小情歌|天黑黑|喜歡你|魯冰花|橄欖樹|雨夜花|望春風|"
                  u"故鄉|思念|離別|等待|幸福|回憶|青春|遠方|流浪|孤單|快樂|眼淚|微笑|"
                  u"明天|永遠|心願|情人|夢醒時分|小城故事|海闊天空|光輝歲月|真的愛你|"
                  u"千千闕歌|情非得已|鄉間小路|新不了情|單身情歌|愛的代價|鹿港小鎮|愛你|"
                  u"想你|藍蓮花|白樺林|茉莉花|夢裡水鄉|渡口|追夢人|蘭花草|小芳|星語心願|"
                  u"菊花台|髮如雪|雙截棍|安靜|倒帶|泡沫|畫心|突然|晴天|稻香|朋友|演員|"
                  u"十年|紅豆|傳奇|父親|母親|少年|江南"),
            // artists
            words(u"鄧麗君|張學友|劉德華|黎明|郭富城|王菲|周華健|張惠妹|蔡依林|五月天|"
                  u"蘇打綠|陳綺貞|孫燕姿|梁靜茹|莫文蔚|伍佰|張雨生|齊秦|羅大佑|李宗盛|"
                  u"林憶蓮|劉若英|任賢齊|動力火車|信樂團|楊丞琳|田馥甄|林俊傑|陶晶瑩|"
                  u"費玉清|蔡琴|潘越雲|江蕙|陳淑樺|齊豫|葉啟田|黃品源|張宇|萬芳|辛曉琪"),
            // albums
            words(u"精選輯|經典金曲|國語精選|台語老歌|新曲加精選|十年一刻|最愛|情歌精選|"
                  u"演唱會實況|電影原聲帶|懷舊經典|我的歌聲裡|愛情萬歲|校園民歌|流行金曲|"
                  u"滾石群星|華語經典|夢田|午夜情歌|雨天的歌|少年時代|青春紀念冊|寶島歌謠|"
                  u"戀愛物語|真情對唱|新歌與精選|傳奇|第一張專輯|紀念版|百萬暢銷"),
            // decorations
            words(u" (Live)|（現場版）| - 伴奏|（電視劇主題曲）| 1990|"
                  u"《電影插曲》")};
}

Words westernWords()
{
    return {// titles
            words(u"Café Début|Non, je ne regrette rien|"
                  u"Les Champs-Élysées|À la claire fontaine|"
                  u"Mélodie d’amour|Chanson d’été|Où es-tu|"
                  u"Déjà vu|Frère Jacques|Ça plaît|"
                  u"L’hymne à l’amour|Élégie|"
                  u"Über den Wolken|Müde bin ich|"
                  u"Schön ist die Welt|Grüße aus München|"
                  u"Tränen lügen nicht|Weißer Flieder|"
                  u"Für Elise|Märchenprinz|Hänschen klein|"
                  u"Mädchen|Mañana|Canción del mariachi|"
                  u"Corazón espinado|Bésame mucho|"
                  u"Niña bonita|Qué será|Jamás|"
                  u"El día que me quieras|Río de Janeiro|"
                  u"Señor|Canção do Mar|Águas de Março|"
                  u"Não sei|Coração|Fado português|"
                  u"Chão de estrelas|Ó gente da minha terra|"
                  u"Lágrimas|Sjösala vals|"
                  u"Vem kan segla förutan vind|Å vestland|"
                  u"Mitt hjärta|Kärlekens tid|Glömmer du|"
                  u"Søndag morgen|Sommarnätter|Øresund|Vår|"
                  u"Don’t Stop – Live|Noël|Été indien|Ærø|"
                  u"Às vezes|Ávila|Ôde à la joie"),
            // shortTitles
            words(u"Été|Noël|Señor|Jamás|Vår|Ærø|Mädchen|"
                  u"Coração|Élégie|Déjà vu|Qué será|Øresund|"
                  u"Lágrimas|Mañana|Für Elise|Ça plaît|"
                  u"Chérie|Adiós|Olé|Schön|Fräulein|Niño|Só|"
                  u"Blå|Sjö|Tú|Père|Möwe"),
            // artists
            words(u"Édith Piaf|Françoise Hardy|"
                  u"Mylène Farmer|Céline Dion|Gaël Faye|"
                  u"Stromae|Zaz|Herbert Grönemeyer|"
                  u"Die Ärzte|Udo Jürgens|Nena|Reinhard Mey|"
                  u"Maná|Joaquín Sabina|Rosalía|"
                  u"Julio Iglesias|Amália Rodrigues|"
                  u"João Gilberto|Maria Bethânia|"
                  u"Caetano Veloso|Björk|Sigur Rós|"
                  u"Evert Taube|Sissel Kyrkjebø|"
                  u"Åge Aleksandersen|Mø|Lisa Ekdahl|"
                  u"Kaizers Orchestra"),
            // albums
            words(u"Chansons françaises|Soirée à Paris|"
                  u"Größte Erfolge|Die schönsten Lieder|"
                  u"Frühling|Grandes éxitos|Sueños|"
                  u"Corazón latino|Canções|"
                  u"Ao vivo em São Paulo|Ilusões|Guldkorn|"
                  u"Sånger|Höstsånger|Lille Norge|Best of|"
                  u"Live à l’Olympia|Éxitos"),
            // decorations
            words(u" (Live)| – Remix| (Version française)|"
                  u" 1998")};
}

const QStringList& asciiTexts()
{
    static const QStringList texts{
        u"Yesterday"_s,     u"Hotel California"_s,  u"The Beatles"_s, u"Eagles"_s,
        u"Greatest Hits"_s, u"Track 01"_s,          u"Let It Be"_s,   u"Abbey Road"_s,
        u"Queen"_s,         u"Bohemian Rhapsody"_s, u"ABBA"_s,        u"Dancing Queen"_s};
    return texts;
}

class Generator {
public:
    explicit Generator(std::uint32_t seed) : random_(seed) {}

    bool chance(int percent) { return int(random_() % 100) < percent; }
    const QString& pick(const QStringList& list)
    {
        return list.at(qsizetype(random_() % list.size()));
    }

private:
    std::mt19937 random_;
};

std::string encode(const QString& text, const char* codePage)
{
    QStringEncoder encoder(codePage);
    const QByteArray bytes = encoder.encode(text);
    return bytes.toStdString();
}

// ID3v1 keeps 30 bytes, padded with NULs; the cut may split a character.
std::string id3v1Field(const std::string& bytes)
{
    std::string field = bytes.substr(0, 30);
    field.resize(30, '\0');
    return field;
}

CorpusFile makeFile(Generator& random, CorpusKind kind, const Words& words, const char* codePage)
{
    CorpusFile file{kind, {}};
    if (random.chance(33)) {
        file.texts.push_back(encode(random.pick(words.shortTitles), codePage));
        return file;
    }
    QString title = random.pick(words.titles);
    if (random.chance(15))
        title += random.pick(words.decorations);
    const std::string titleBytes = encode(title, codePage);
    file.texts.push_back(titleBytes);
    if (random.chance(85))
        file.texts.push_back(encode(random.pick(words.artists), codePage));
    if (random.chance(60))
        file.texts.push_back(encode(random.pick(words.albums), codePage));
    if (random.chance(30)) {
        file.texts.push_back(id3v1Field(titleBytes));
        if (file.texts.size() > 2)
            file.texts.push_back(id3v1Field(file.texts[1]));
    }
    return file;
}

bool hasNonAscii(const CorpusFile& file)
{
    for (const std::string& text : file.texts)
        for (const char c : text)
            if (static_cast<unsigned char>(c) >= 0x80)
                return true;
    return false;
}

} // namespace

std::vector<CorpusFile> legacyCorpus(int filesPerKind)
{
    Generator random(20240611);
    const Words simplified = simplifiedWords();
    const Words traditional = traditionalWords();
    const Words western = westernWords();
    std::vector<CorpusFile> files;
    for (int i = 0; i < filesPerKind; ++i)
        files.push_back(makeFile(random, CorpusKind::Simplified, simplified, "GB18030"));
    for (int i = 0; i < filesPerKind; ++i)
        files.push_back(makeFile(random, CorpusKind::Traditional, traditional, "Big5"));
    // A Western file whose texts happen to be all ASCII would be an ASCII
    // file; draw again until it says something.
    for (int i = 0; i < filesPerKind;) {
        CorpusFile file = makeFile(random, CorpusKind::Western, western, "windows-1252");
        if (hasNonAscii(file)) {
            files.push_back(std::move(file));
            ++i;
        }
    }
    for (int i = 0; i < filesPerKind / 3; ++i) {
        CorpusFile file{CorpusKind::Ascii, {}};
        file.texts.push_back(random.pick(asciiTexts()).toStdString());
        if (random.chance(70))
            file.texts.push_back(random.pick(asciiTexts()).toStdString());
        files.push_back(std::move(file));
    }
    return files;
}

} // namespace testsupport
