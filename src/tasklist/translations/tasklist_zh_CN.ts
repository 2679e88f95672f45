<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>NSHistoryView</name>
    <message>
        <location filename="../NSHistoryView.cpp" line="42"/>
        <source>Tasks</source>
        <translation>任务</translation>
    </message>
    <message>
        <location filename="../NSHistoryView.cpp" line="284"/>
        <source>The task could not be removed.</source>
        <translation>无法移除该任务。</translation>
    </message>
    <message>
        <location filename="../NSHistoryView.cpp" line="286"/>
        <source>Another download (perhaps in another window or zelvo-cli) is working on it:
%1</source>
        <translation>另一个下载（可能在另一个窗口或 zelvo-cli 中）正在处理它：
%1</translation>
    </message>
    <message>
        <location filename="../NSHistoryView.cpp" line="297"/>
        <source>已复制

%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../NSHistoryView.cpp" line="363"/>
        <source>The history could not record the end of the download: %1</source>
        <translation>历史记录无法保存下载的结束：%1</translation>
    </message>
    <message>
        <location filename="../NSHistoryView.cpp" line="368"/>
        <source>The download did not start: %1</source>
        <translation>下载未能开始：%1</translation>
    </message>
    <message>
        <location filename="../NSHistoryView.cpp" line="380"/>
        <source>yt-dlp is not installed in a working folder.</source>
        <translation>工作文件夹中没有安装 yt-dlp。</translation>
    </message>
    <message>
        <location filename="../NSHistoryView.cpp" line="382"/>
        <source>Open the settings to choose a working folder and install yt-dlp into it.</source>
        <translation>请打开设置，选择工作文件夹并在其中安装 yt-dlp。</translation>
    </message>
    <message>
        <location filename="../NSHistoryView.cpp" line="383"/>
        <source>Open Settings</source>
        <translation>打开设置</translation>
    </message>
    <message>
        <location filename="../NSHistoryView.cpp" line="383"/>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
</context>
<context>
    <name>TaskDetailView</name>
    <message>
        <source>Name</source>
        <translation>名称</translation>
    </message>
    <message>
        <source>Location</source>
        <translation>位置</translation>
    </message>
    <message>
        <source>Completed</source>
        <translation>完成时间</translation>
    </message>
    <message>
        <source>Browser</source>
        <translation>浏览器</translation>
    </message>
    <message>
        <source>Description</source>
        <translation>描述</translation>
    </message>
    <message>
        <source>The file is no longer on the disk.</source>
        <translation>文件已不在磁盘上。</translation>
    </message>
    <message>
        <source>The note could not be saved.</source>
        <translation>无法保存备注。</translation>
    </message>
</context>
<context>
    <name>XTaskCellView</name>
    <message>
        <location filename="../XTaskCellView.cpp" line="192"/>
        <source>created</source>
        <translation>已创建</translation>
    </message>
    <message>
        <location filename="../XTaskCellView.cpp" line="194"/>
        <source>downloading %1%</source>
        <translation>正在下载 %1%</translation>
    </message>
    <message>
        <location filename="../XTaskCellView.cpp" line="196"/>
        <source>completed</source>
        <translation>已完成</translation>
    </message>
    <message>
        <location filename="../XTaskCellView.cpp" line="198"/>
        <source>failed: %1</source>
        <translation>失败：%1</translation>
    </message>
    <message>
        <location filename="../XTaskCellView.cpp" line="206"/>
        <location filename="../XTaskCellView.cpp" line="219"/>
        <source>新下载</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../XTaskCellView.cpp" line="212"/>
        <source>%1, %2</source>
        <translation>%1，%2</translation>
    </message>
</context>
<context>
    <name>XTaskCompleted</name>
    <message>
        <location filename="../XTaskCompleted.cpp" line="50"/>
        <source>Show in Finder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../XTaskCompleted.cpp" line="52"/>
        <source>Remove</source>
        <translation>移除</translation>
    </message>
    <message>
        <location filename="../XTaskCompleted.cpp" line="54"/>
        <source>Share</source>
        <translation>分享</translation>
    </message>
    <message>
        <location filename="../XTaskCompleted.cpp" line="161"/>
        <source>Working…</source>
        <translation>处理中…</translation>
    </message>
    <message>
        <location filename="../XTaskCompleted.cpp" line="169"/>
        <source>Show In Finder</source>
        <translation>在文件管理器中显示</translation>
    </message>
    <message>
        <location filename="../XTaskCompleted.cpp" line="170"/>
        <source>Open Web Source</source>
        <translation>打开网页来源</translation>
    </message>
    <message>
        <location filename="../XTaskCompleted.cpp" line="173"/>
        <source>Video Encode</source>
        <translation>视频编码</translation>
    </message>
    <message>
        <location filename="../XTaskCompleted.cpp" line="177"/>
        <source>Move Files</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../XTaskCompleted.cpp" line="180"/>
        <source>Merge %1 files</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../XTaskCompleted.cpp" line="184"/>
        <source>开发调试</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../XTaskCompleted.cpp" line="185"/>
        <source>ffplay 播放</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../XTaskCompleted.cpp" line="186"/>
        <source>选择目标文件</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../XTaskCompleted.cpp" line="187"/>
        <source>刷新缩略图</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../XTaskCompleted.cpp" line="256"/>
        <source>Some files could not be moved into the working folder; they stay where they are.</source>
        <translation>部分文件无法移入工作文件夹，它们仍留在原处。</translation>
    </message>
    <message>
        <location filename="../XTaskCompleted.cpp" line="266"/>
        <source>只测试过音频、视频2个文件合并， 更多文件的合并未曾测试。
请联系开发者阐明您的需求。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../XTaskCompleted.cpp" line="274"/>
        <source>Merge files failed.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../XTaskCompleted.cpp" line="298"/>
        <source>ffplay needs a working folder: choose one in the settings.</source>
        <translation>ffplay 需要工作文件夹：请在设置中选择。</translation>
    </message>
    <message>
        <location filename="../XTaskCompleted.cpp" line="311"/>
        <source>ffplay could not be started from the working folder.</source>
        <translation>无法从工作文件夹启动 ffplay。</translation>
    </message>
</context>
<context>
    <name>XTaskCreateView</name>
    <message>
        <location filename="../XTaskCreateView.cpp" line="13"/>
        <location filename="../XTaskCreateView.cpp" line="14"/>
        <source>新下载</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>XTaskFailedView</name>
    <message>
        <location filename="../XTaskFailedView.cpp" line="19"/>
        <source>Failed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../XTaskFailedView.cpp" line="34"/>
        <source>Why the download failed</source>
        <translation>下载失败的原因</translation>
    </message>
    <message>
        <location filename="../XTaskFailedView.cpp" line="39"/>
        <source>Retry download</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../XTaskFailedView.cpp" line="41"/>
        <source>Remove</source>
        <translation>移除</translation>
    </message>
</context>
<context>
    <name>XTaskNormal</name>
    <message>
        <location filename="../XTaskNormal.cpp" line="28"/>
        <source>Resume download</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../XTaskNormal.cpp" line="33"/>
        <source>Remove</source>
        <translation>移除</translation>
    </message>
</context>
<context>
    <name>XTaskProgressing</name>
    <message>
        <location filename="../XTaskProgressing.cpp" line="39"/>
        <source>Downloading ...</source>
        <translation>正在下载 ...</translation>
    </message>
    <message>
        <location filename="../XTaskProgressing.cpp" line="43"/>
        <source>Download speed</source>
        <translation>下载速度</translation>
    </message>
    <message>
        <location filename="../XTaskProgressing.cpp" line="47"/>
        <source>Pause</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
