<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>AppDelegate</name>
    <message>
        <location filename="../AppDelegate.cpp" line="33"/>
        <source>&amp;File</source>
        <translation>文件(&amp;F)</translation>
    </message>
    <message>
        <location filename="../AppDelegate.cpp" line="34"/>
        <source>New Task…</source>
        <translation>新建任务…</translation>
    </message>
    <message>
        <location filename="../AppDelegate.cpp" line="38"/>
        <source>Media Information…</source>
        <translation>媒体信息…</translation>
    </message>
    <message>
        <location filename="../AppDelegate.cpp" line="41"/>
        <source>Quit</source>
        <translation>退出</translation>
    </message>
    <message>
        <location filename="../AppDelegate.cpp" line="44"/>
        <source>&amp;Edit</source>
        <translation>编辑(&amp;E)</translation>
    </message>
    <message>
        <location filename="../AppDelegate.cpp" line="45"/>
        <source>Find</source>
        <translation>查找</translation>
    </message>
    <message>
        <location filename="../AppDelegate.cpp" line="49"/>
        <source>Settings…</source>
        <translation>设置…</translation>
    </message>
    <message>
        <location filename="../AppDelegate.cpp" line="52"/>
        <source>&amp;Help</source>
        <translation>帮助(&amp;H)</translation>
    </message>
    <message>
        <location filename="../AppDelegate.cpp" line="53"/>
        <source>Supported Sites</source>
        <translation>支持的网站</translation>
    </message>
    <message>
        <location filename="../AppDelegate.cpp" line="54"/>
        <source>About Zelvo</source>
        <translation>关于 Zelvo</translation>
    </message>
    <message>
        <location filename="../AppDelegate.cpp" line="68"/>
        <source>The task history cannot be opened.</source>
        <translation>无法打开任务记录。</translation>
    </message>
    <message>
        <location filename="../AppDelegate.cpp" line="80"/>
        <source>Settings are not available in this version.</source>
        <translation>此版本尚不提供设置窗口。</translation>
    </message>
    <message>
        <location filename="../AppDelegate.cpp" line="81"/>
        <source>Choose the working folder with:
zelvo-cli setup FOLDER</source>
        <translation>请用以下命令选择工作目录：
zelvo-cli setup FOLDER</translation>
    </message>
    <message>
        <location filename="../AppDelegate.cpp" line="108"/>
        <source>Downloads the videos of web pages with yt-dlp.</source>
        <translation>用 yt-dlp 下载网页中的视频。</translation>
    </message>
</context>
<context>
    <name>NSCreateTaskView</name>
    <message>
        <source>Try the best video and audio</source>
        <translation>尝试最佳视频和音频</translation>
    </message>
    <message>
        <source>MP4 only</source>
        <translation>仅限 MP4</translation>
    </message>
    <message>
        <source>Cookies from</source>
        <translation>Cookie 来源</translation>
    </message>
    <message>
        <source>The task could not be stored.</source>
        <translation>无法保存任务。</translation>
    </message>
</context>
<context>
    <name>NSMainWindowController</name>
    <message>
        <location filename="../NSMainWindowController.cpp" line="15"/>
        <source>Search</source>
        <translation>搜索</translation>
    </message>
</context>
<context>
    <name>SearchField</name>
    <message>
        <location filename="../SearchField.cpp" line="8"/>
        <source>Search file names</source>
        <translation>搜索文件名</translation>
    </message>
    <message>
        <location filename="../SearchField.cpp" line="9"/>
        <source>Search</source>
        <translation>搜索</translation>
    </message>
</context>
<context>
    <name>ShareMenu</name>
    <message>
        <location filename="../../desktop/ShareMenu.cpp" line="13"/>
        <source>Share</source>
        <translation>共享</translation>
    </message>
    <message>
        <location filename="../../desktop/ShareMenu.cpp" line="14"/>
        <source>Copy</source>
        <translation>拷贝</translation>
    </message>
    <message>
        <location filename="../../desktop/ShareMenu.cpp" line="16"/>
        <source>Copy Path</source>
        <translation>拷贝路径</translation>
    </message>
    <message>
        <location filename="../../desktop/ShareMenu.cpp" line="18"/>
        <source>Open</source>
        <translation>打开</translation>
    </message>
    <message>
        <location filename="../../desktop/ShareMenu.cpp" line="23"/>
        <source>E-mail</source>
        <translation>电子邮件</translation>
    </message>
</context>
<context>
    <name>ViewController</name>
    <message>
        <location filename="../ViewController.cpp" line="16"/>
        <source>The task history will be shown here.</source>
        <translation>任务记录将显示在这里。</translation>
    </message>
</context>
</TS>
